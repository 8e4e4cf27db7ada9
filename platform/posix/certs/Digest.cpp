#include "platform/common/certs/Digest.h"

#include <openssl/evp.h>

#include "platform/CryptoKeys.h"

namespace zyq::platform::common {

bool ComputeDigest(uint32_t hashAlg, ByteView data, Bytes* digest) {
  const EVP_MD* md = nullptr;
  switch (hashAlg) {
    case kCalgMd5:
      md = EVP_md5();
      break;
    case kCalgSha1:
      md = EVP_sha1();
      break;
    case kCalgSha256:
      md = EVP_sha256();
      break;
    case kCalgSha384:
      md = EVP_sha384();
      break;
    case kCalgSha512:
      md = EVP_sha512();
      break;
    default:
      return false;
  }
  digest->assign(static_cast<size_t>(EVP_MD_get_size(md)), 0);
  unsigned int len = 0;
  return EVP_Digest(data.data(), data.size(), digest->data(), &len, md, nullptr) == 1 &&
         len == digest->size();
}

}  // namespace zyq::platform::common
