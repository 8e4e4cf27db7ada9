#include "enroll/EnrollmentPort.h"

#include "platform/Uuid.h"

namespace zyq::enroll {

using platform::SysError;

EnrollmentPort& EnrollmentPort::Default() {
  static EnrollmentPort port;
  return port;
}

SysError EnrollmentPort::NewContainerName(std::string* name) {
  return platform::NewUuidString(name);
}

SysError EnrollmentPort::AcquireKeyContext(std::string_view container, std::string_view provider,
                                           uint32_t providerType, uint32_t flags,
                                           std::unique_ptr<platform::KeyContext>* context) {
  return platform::AcquireKeyContext(container, provider, providerType, flags, context);
}

SysError EnrollmentPort::FindKeyByPublicKey(
    platform::ByteView spki, const std::function<bool(const platform::ProviderInfo&)>& accept,
    platform::KeyProvInfo* link) {
  return platform::FindKeyByPublicKey(spki, accept, link);
}

SysError EnrollmentPort::OpenSystemStore(std::string_view name, platform::CertStore* store) {
  return platform::CertStore::OpenSystem(name, store);
}

SysError EnrollmentPort::AddToStore(const platform::CertStore& store,
                                    const platform::CertContext& cert, uint32_t disposition) {
  return store.Add(cert, disposition);
}

SysError EnrollmentPort::SetKeyLink(platform::CertContext* cert,
                                    const platform::KeyProvInfo& link) {
  return cert->SetKeyLink(link);
}

}  // namespace zyq::enroll
