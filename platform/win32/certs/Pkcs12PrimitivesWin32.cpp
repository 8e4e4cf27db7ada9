// The PKCS#12 writer's salts and triple-DES over CryptoAPI, in a verification context of the
// Enhanced provider.
#include <windows.h>
// (the headers below need windows.h first)
#include <wincrypt.h>

#include <cstring>

#include "platform/Secret.h"
#include "platform/common/certs/Pkcs12Primitives.h"
#include "platform/win32/WinHandles.h"

namespace zyq::platform::common {
namespace {

bool OpenProvider(win32::ProvOwner* prov) {
  return CryptAcquireContextA(prov->out(), nullptr, MS_ENHANCED_PROV_A, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT | CRYPT_SILENT) != FALSE;
}

}  // namespace

bool RandomBytes(size_t n, Bytes* out) {
  win32::ProvOwner prov;
  if (!OpenProvider(&prov)) return false;
  out->assign(n, 0);
  return CryptGenRandom(prov.get(), static_cast<DWORD>(n), out->data()) != FALSE;
}

bool EncryptTripleDesCbc(ByteView key, ByteView iv, ByteView plain, Bytes* cipher) {
  if (key.size() != 24 || iv.size() != 8) return false;
  win32::ProvOwner prov;
  if (!OpenProvider(&prov)) return false;
  struct {
    BLOBHEADER header;
    DWORD size;
    BYTE key[24];
  } blob{{PLAINTEXTKEYBLOB, CUR_BLOB_VERSION, 0, CALG_3DES}, 24, {}};
  std::memcpy(blob.key, key.data(), 24);
  win32::KeyOwner k;
  const bool imported = CryptImportKey(prov.get(), reinterpret_cast<const BYTE*>(&blob),
                                       sizeof(blob), 0, 0, k.out()) != FALSE;
  SecureWipe(&blob, sizeof(blob));
  // CBC with PKCS#5 padding is the key's default mode; the IV is set explicitly.
  if (!imported || !CryptSetKeyParam(k.get(), KP_IV, iv.data(), 0)) return false;
  Bytes buffer(plain.begin(), plain.end());
  buffer.resize(plain.size() + 8);
  DWORD length = static_cast<DWORD>(plain.size());
  if (!CryptEncrypt(k.get(), 0, TRUE, 0, buffer.data(), &length,
                    static_cast<DWORD>(buffer.size()))) {
    SecureWipe(buffer.data(), buffer.size());
    return false;
  }
  buffer.resize(length);
  *cipher = std::move(buffer);
  return true;
}

}  // namespace zyq::platform::common
