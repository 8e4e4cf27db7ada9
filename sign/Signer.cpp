#include "sign/Signer.h"

#include "engine/ResultCodes.h"
#include "pfx/RegistrationRecord.h"

namespace zyq::sign {

Resolution Signer::Resolve(const Bstr& strID, const Bstr& strContent, int32_t dwKeyUsage,
                           std::string* id) {
  *id = NormalizeUserId(strID.View());
  if (id->empty() || strContent.Empty()) {
    Resolution refused;  // the cache stays as it is
    refused.outcome = Outcome::Failure(result::kBadParameter);
    return refused;
  }
  Resolution resolution =
      ResolveSigningCertificate(*id, dwKeyUsage, cache_, shared_, registrations_);
  cache_ = std::move(resolution.cache);
  return resolution;
}

}  // namespace zyq::sign
