#include "pfx/KeyedCertificates.h"

#include <memory>
#include <vector>

#include "platform/CryptoKeys.h"

namespace zyq::pfx {

void ForEachKeyedCertificate(const platform::CertStore& store,
                             const std::function<bool(const platform::CertContext&)>& keyed,
                             const std::function<void(platform::SysError)>& keyless) {
  std::vector<platform::CertContext> certificates;
  store.Enumerate(&certificates);
  for (const platform::CertContext& certificate : certificates) {
    platform::SysError error = 0;
    {
      std::unique_ptr<platform::KeyContext> key;
      uint32_t keySpec = 0;
      error = platform::AcquireCertificatePrivateKey(certificate, &key, &keySpec);
    }
    if (error != platform::kErrorSuccess) {
      if (keyless) keyless(error);
      continue;
    }
    if (!keyed(certificate)) return;
  }
}

}  // namespace zyq::pfx
