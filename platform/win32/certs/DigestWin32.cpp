// Message digests for the shared encoders, by CryptoAPI hash algorithm id, through a
// verification context of the AES provider (the one that knows SHA-2).
#include <windows.h>
// (the headers below need windows.h first)
#include <wincrypt.h>

#include "platform/CryptoKeys.h"
#include "platform/common/certs/Digest.h"
#include "platform/win32/WinHandles.h"

namespace zyq::platform::common {

bool ComputeDigest(uint32_t hashAlg, ByteView data, Bytes* digest) {
  switch (hashAlg) {
    case kCalgMd5:
    case kCalgSha1:
    case kCalgSha256:
    case kCalgSha384:
    case kCalgSha512:
      break;
    default:
      return false;
  }
  win32::ProvOwner prov;
  if (!CryptAcquireContextA(prov.out(), nullptr, nullptr, PROV_RSA_AES,
                            CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
    return false;
  }
  win32::HashOwner hash;
  if (!CryptCreateHash(prov.get(), hashAlg, 0, 0, hash.out())) return false;
  // CryptHashData takes 32-bit lengths: feed large inputs in pieces.
  for (size_t done = 0; done < data.size();) {
    const DWORD n = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 30));
    if (!CryptHashData(hash.get(), data.data() + done, n, 0)) return false;
    done += n;
  }
  DWORD size = 0, sizeSize = sizeof(size);
  if (!CryptGetHashParam(hash.get(), HP_HASHSIZE, reinterpret_cast<BYTE*>(&size), &sizeSize, 0)) {
    return false;
  }
  digest->assign(size, 0);
  return CryptGetHashParam(hash.get(), HP_HASHVAL, digest->data(), &size, 0) &&
         size == digest->size();
}

}  // namespace zyq::platform::common
