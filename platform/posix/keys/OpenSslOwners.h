// Owners for the OpenSSL objects that the key code uses: each is a std::unique_ptr with the
// object's own free function, so no path can leak one. BIGNUMs are cleared before they are
// freed, since most of them hold private key parts here.
#pragma once

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>

namespace zyq::platform::posix {

template <auto FreeFunction>
struct OpenSslDeleter {
  template <typename T>
  void operator()(T* object) const {
    FreeFunction(object);
  }
};

using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, OpenSslDeleter<EVP_PKEY_free>>;
using EvpPkeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, OpenSslDeleter<EVP_PKEY_CTX_free>>;
using BignumPtr = std::unique_ptr<BIGNUM, OpenSslDeleter<BN_clear_free>>;
using Pkcs8InfoPtr = std::unique_ptr<PKCS8_PRIV_KEY_INFO, OpenSslDeleter<PKCS8_PRIV_KEY_INFO_free>>;

}  // namespace zyq::platform::posix
