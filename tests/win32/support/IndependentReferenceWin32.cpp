// CryptoAPI as the independent reference of the shared tests on Windows.
#include <windows.h>
// (the headers below need windows.h first)
#include <wincrypt.h>

#include "tests/support/IndependentReference.h"

namespace zyq::test {

std::string Base64Reference(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return {};
  const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
  DWORD size = 0;
  if (!CryptBinaryToStringA(bytes.data(), static_cast<DWORD>(bytes.size()), flags, nullptr,
                            &size)) {
    return {};
  }
  std::string text(size, '\0');
  if (!CryptBinaryToStringA(bytes.data(), static_cast<DWORD>(bytes.size()), flags, text.data(),
                            &size)) {
    return {};
  }
  text.resize(size);
  while (!text.empty() && (text.back() == '\0' || text.back() == '\r' || text.back() == '\n')) {
    text.pop_back();
  }
  return text;
}

std::vector<uint8_t> Sha1Reference(std::span<const uint8_t> bytes) {
  HCRYPTPROV prov = 0;
  if (!CryptAcquireContextA(&prov, nullptr, nullptr, PROV_RSA_FULL,
                            CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
    return {};
  }
  HCRYPTHASH hash = 0;
  std::vector<uint8_t> digest(20);
  DWORD size = static_cast<DWORD>(digest.size());
  const bool ok = CryptCreateHash(prov, CALG_SHA1, 0, 0, &hash) &&
                  CryptHashData(hash, bytes.data(), static_cast<DWORD>(bytes.size()), 0) &&
                  CryptGetHashParam(hash, HP_HASHVAL, digest.data(), &size, 0) && size == 20;
  if (hash) CryptDestroyHash(hash);
  CryptReleaseContext(prov, 0);
  if (!ok) digest.clear();
  return digest;
}

}  // namespace zyq::test
