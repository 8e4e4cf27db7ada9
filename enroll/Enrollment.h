// enroll::Enrollment: the enrollment family of an engine. It owns the key-generation settings
// (CspSettings) and runs the operations on them: the settings' setters, the provider list, the
// PKCS#10 request and the acceptance of the authority's answer. Each operation returns the
// outcome that the settings record holds after it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/Outcome.h"
#include "enroll/CspSettings.h"

namespace zyq::enroll {

class Enrollment {
 public:
  // The provider name at dwIndex, "" past the end of the list; always succeeds.
  Result<std::string> EnumProviders(int32_t dwIndex, int32_t dwFlags) const;
  Outcome SetKeyBits(int32_t bits);
  Outcome SetProviderName(std::string_view name);
  Outcome SetProviderType(int32_t type);
  Outcome SetKeySpec(int32_t keySpec);
  Outcome SetGenKeyFlags(int32_t flags);
  // The Base64 request for a new key pair (CreatePkcs10Request); "" on failure.
  Result<std::string> CreatePKCS10(std::string_view commonName);
  // Installs the authority's answer (AcceptPkcs7Response).
  Outcome AcceptPKCS7(std::string_view base64);

  const CspSettings& settings() const { return settings_; }

 private:
  // The outcome the settings record holds after an operation.
  Outcome Reported() const { return {settings_.result(), settings_.systemError()}; }

  CspSettings settings_;
};

}  // namespace zyq::enroll
