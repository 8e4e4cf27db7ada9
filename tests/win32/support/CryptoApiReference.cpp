// CryptoAPI as the independent reference of the codec tests on Windows (the Linux build uses
// OpenSSL for the same functions, tests/codec/OpenSslReference.h): it computes what the engine's
// own primitives must give and never takes part in computing the engine's results.
#include <windows.h>
// (the headers below need windows.h first)
#include <wincrypt.h>

#include <cstring>
#include <random>
#include <string>

#include "tests/codec/OpenSslReference.h"

namespace zyq::test {
namespace {

class Provider {
 public:
  Provider() {
    CryptAcquireContextA(&prov_, nullptr, MS_ENH_RSA_AES_PROV_A, PROV_RSA_AES,
                         CRYPT_VERIFYCONTEXT | CRYPT_SILENT);
  }
  ~Provider() {
    if (prov_) CryptReleaseContext(prov_, 0);
  }
  HCRYPTPROV get() const { return prov_; }

 private:
  HCRYPTPROV prov_ = 0;
};

const Provider& TheProvider() {
  static Provider provider;
  return provider;
}

}  // namespace

Bytes RandomBytes(std::size_t n, std::uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<unsigned char>(rng());
  return out;
}

Bytes ReferenceDigest(const char* name, const unsigned char* data, std::size_t n) {
  const std::string algorithm = name;
  const ALG_ID id = algorithm == "MD5"      ? CALG_MD5
                    : algorithm == "SHA1"   ? CALG_SHA1
                    : algorithm == "SHA256" ? CALG_SHA_256
                                            : CALG_SHA_512;
  HCRYPTHASH hash = 0;
  Bytes out;
  if (CryptCreateHash(TheProvider().get(), id, 0, 0, &hash)) {
    DWORD size = 64;
    out.assign(size, 0);
    if (CryptHashData(hash, data, static_cast<DWORD>(n), 0) &&
        CryptGetHashParam(hash, HP_HASHVAL, out.data(), &size, 0)) {
      out.resize(size);
    } else {
      out.clear();
    }
    CryptDestroyHash(hash);
  }
  return out;
}

Bytes ReferenceCbc(const char* cipherName, bool encrypt, bool padding, const Bytes& key,
                   const Bytes& data, bool* ok) {
  *ok = false;
  const std::string cipher = cipherName;
  const ALG_ID id = cipher == "DES-CBC"        ? CALG_DES
                    : cipher == "DES-EDE3-CBC" ? CALG_3DES
                                               : CALG_3DES_112;
  struct {
    BLOBHEADER header;
    DWORD size;
    BYTE key[24];
  } blob{{PLAINTEXTKEYBLOB, CUR_BLOB_VERSION, 0, id}, static_cast<DWORD>(key.size()), {}};
  if (key.size() > sizeof(blob.key)) return {};
  std::memcpy(blob.key, key.data(), key.size());
  HCRYPTKEY k = 0;
  if (!CryptImportKey(TheProvider().get(), reinterpret_cast<const BYTE*>(&blob),
                      static_cast<DWORD>(sizeof(BLOBHEADER) + sizeof(DWORD) + key.size()), 0, 0,
                      &k)) {
    return {};
  }
  const BYTE iv[8] = {};
  DWORD mode = CRYPT_MODE_CBC;
  CryptSetKeyParam(k, KP_MODE, reinterpret_cast<const BYTE*>(&mode), 0);
  CryptSetKeyParam(k, KP_IV, iv, 0);
  Bytes buffer = data;
  buffer.resize(data.size() + 8);
  DWORD length = static_cast<DWORD>(data.size());
  const BOOL done = encrypt ? CryptEncrypt(k, 0, padding, 0, buffer.data(), &length,
                                           static_cast<DWORD>(buffer.size()))
                            : CryptDecrypt(k, 0, padding, 0, buffer.data(), &length);
  CryptDestroyKey(k);
  if (!done) return {};
  buffer.resize(length);
  *ok = true;
  return buffer;
}

std::string ReferenceBase64(const unsigned char* data, std::size_t n) {
  DWORD size = 0;
  const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
  if (n == 0) return {};
  if (!CryptBinaryToStringA(data, static_cast<DWORD>(n), flags, nullptr, &size)) return {};
  std::string out(size, '\0');
  if (!CryptBinaryToStringA(data, static_cast<DWORD>(n), flags, out.data(), &size)) return {};
  out.resize(size);
  while (!out.empty() && (out.back() == '\0' || out.back() == '\r' || out.back() == '\n')) {
    out.pop_back();
  }
  return out;
}

std::string ReferenceBase64Lines(const unsigned char* data, std::size_t n) {
  // Lines of 64 characters, each ended by "\n", the form of EVP_EncodeUpdate.
  const std::string line = ReferenceBase64(data, n);
  std::string out;
  for (std::size_t i = 0; i < line.size(); i += 64) {
    out += line.substr(i, 64);
    out += '\n';
  }
  return out;
}

}  // namespace zyq::test
