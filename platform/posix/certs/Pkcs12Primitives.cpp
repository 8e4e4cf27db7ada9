// The PKCS#12 writer's salts and triple-DES over OpenSSL.
#include "platform/common/certs/Pkcs12Primitives.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include "platform/posix/OpenSslPtr.h"

namespace zyq::platform::common {

bool RandomBytes(size_t n, Bytes* out) {
  out->assign(n, 0);
  if (RAND_bytes(out->data(), static_cast<int>(n)) == 1) return true;
  ERR_clear_error();
  return false;
}

bool EncryptTripleDesCbc(ByteView key, ByteView iv, ByteView plain, Bytes* cipher) {
  if (key.size() != 24 || iv.size() != 8) return false;
  const posix::OpenSslPtr<EVP_CIPHER_CTX> ctx(EVP_CIPHER_CTX_new());
  Bytes out(plain.size() + 8);
  int written = 0, last = 0;
  const bool ok =
      ctx &&
      EVP_EncryptInit_ex(ctx.get(), EVP_des_ede3_cbc(), nullptr, key.data(), iv.data()) == 1 &&
      EVP_EncryptUpdate(ctx.get(), out.data(), &written, plain.data(),
                        static_cast<int>(plain.size())) == 1 &&
      EVP_EncryptFinal_ex(ctx.get(), out.data() + written, &last) == 1;
  if (!ok) {
    ERR_clear_error();
    return false;
  }
  out.resize(static_cast<size_t>(written + last));
  *cipher = std::move(out);
  return true;
}

}  // namespace zyq::platform::common
