#include "enroll/Enrollment.h"

#include "enroll/RequestCreation.h"
#include "enroll/ResponseAcceptance.h"

namespace zyq::enroll {

Result<std::string> Enrollment::EnumProviders(int32_t dwIndex, int32_t /*dwFlags*/) const {
  return settings_.ProviderAt(dwIndex);
}

Outcome Enrollment::SetKeyBits(int32_t bits) {
  settings_.SetKeyBits(bits);
  return Reported();
}

Outcome Enrollment::SetProviderName(std::string_view name) {
  settings_.SetProviderName(name);
  return Reported();
}

Outcome Enrollment::SetProviderType(int32_t type) {
  settings_.SetProviderType(type);
  return Reported();
}

Outcome Enrollment::SetKeySpec(int32_t keySpec) {
  settings_.SetKeySpec(keySpec);
  return Reported();
}

Outcome Enrollment::SetGenKeyFlags(int32_t flags) {
  settings_.SetGenKeyFlags(flags);
  return Reported();
}

Result<std::string> Enrollment::CreatePKCS10(std::string_view commonName) {
  std::string request = CreatePkcs10Request(settings_, commonName);
  return {std::move(request), Reported()};
}

Outcome Enrollment::AcceptPKCS7(std::string_view base64) {
  AcceptPkcs7Response(settings_, base64);
  return Reported();
}

}  // namespace zyq::enroll
