// The platform services that enrollment uses, gathered behind one small interface so that tests
// can make any one of them fail (a store that cannot be opened, a property that cannot be set, a
// container gone between search and use) while the rest stays real. The default instance
// forwards every call to the platform port unchanged.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/CertStores.h"
#include "platform/CryptoKeys.h"
#include "platform/KeyProvInfo.h"
#include "platform/Providers.h"
#include "platform/SystemErrors.h"

namespace zyq::enroll {

class EnrollmentPort {
 public:
  virtual ~EnrollmentPort() = default;

  // The instance that forwards to the platform.
  static EnrollmentPort& Default();

  // A new key container name: an upper-case UUID text (platform::NewUuidString).
  virtual platform::SysError NewContainerName(std::string* name);

  // platform::AcquireKeyContext: a new or existing container, or a verification context.
  virtual platform::SysError AcquireKeyContext(std::string_view container,
                                               std::string_view provider, uint32_t providerType,
                                               uint32_t flags,
                                               std::unique_ptr<platform::KeyContext>* context);

  // platform::FindKeyByPublicKey over the providers that accept approves.
  virtual platform::SysError FindKeyByPublicKey(
      platform::ByteView spki, const std::function<bool(const platform::ProviderInfo&)>& accept,
      platform::KeyProvInfo* link);

  // platform::CertStore::OpenSystem.
  virtual platform::SysError OpenSystemStore(std::string_view name, platform::CertStore* store);

  // platform::CertStore::Add.
  virtual platform::SysError AddToStore(const platform::CertStore& store,
                                        const platform::CertContext& cert, uint32_t disposition);

  // platform::CertContext::SetKeyLink.
  virtual platform::SysError SetKeyLink(platform::CertContext* cert,
                                        const platform::KeyProvInfo& link);
};

}  // namespace zyq::enroll
