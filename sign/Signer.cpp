#include "sign/Signer.h"

namespace zyq::sign {

Resolution Signer::Resolve(const std::string& id, int32_t dwKeyUsage) {
  Resolution resolution =
      ResolveSigningCertificate(id, dwKeyUsage, cache_, shared_, registrations_);
  cache_ = std::move(resolution.cache);
  return resolution;
}

}  // namespace zyq::sign
