#include "platform/posix/certs/OpenSslContext.h"

#include <openssl/crypto.h>
#include <openssl/provider.h>

#include <mutex>

namespace zyq::platform::posix {
namespace {

struct Context {
  OSSL_LIB_CTX* ctx = nullptr;
  bool legacy = false;
};

const Context& Get() {
  static Context context;
  static std::once_flag once;
  std::call_once(once, [] {
    context.ctx = OSSL_LIB_CTX_new();
    if (context.ctx == nullptr) return;
    OSSL_PROVIDER_load(context.ctx, "default");
    context.legacy = OSSL_PROVIDER_load(context.ctx, "legacy") != nullptr;
  });
  return context;
}

}  // namespace

OSSL_LIB_CTX* CertLibraryContext() {
  return Get().ctx;
}

bool LegacyAlgorithmsAvailable() {
  return Get().legacy;
}

}  // namespace zyq::platform::posix
