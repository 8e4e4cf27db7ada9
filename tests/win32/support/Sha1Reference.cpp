// SHA1 of the stand-in openssl/sha.h: CryptoAPI computes the reference digest the certificate
// tests compare the engine's thumbprints with.
#include <windows.h>
// (the headers below need windows.h first)
#include <wincrypt.h>

#include <openssl/sha.h>

unsigned char* SHA1(const unsigned char* data, std::size_t n, unsigned char* md) {
  HCRYPTPROV prov = 0;
  if (!CryptAcquireContextA(&prov, nullptr, nullptr, PROV_RSA_FULL,
                            CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
    return nullptr;
  }
  HCRYPTHASH hash = 0;
  DWORD size = SHA_DIGEST_LENGTH;
  const bool ok = CryptCreateHash(prov, CALG_SHA1, 0, 0, &hash) &&
                  CryptHashData(hash, data, static_cast<DWORD>(n), 0) &&
                  CryptGetHashParam(hash, HP_HASHVAL, md, &size, 0);
  if (hash) CryptDestroyHash(hash);
  CryptReleaseContext(prov, 0);
  return ok ? md : nullptr;
}
