// CspSettings: how the next enrollment key is made (length, provider, key spec, generation
// flags), the list of the installed RSA providers that a provider name must come from, and the
// outcome (result code and system error) of the last operation on the record.
//
// An engine's enroll::Enrollment owns one record for the engine's whole life. Each setter starts
// by clearing the outcome and leaves a result code that Enrollment hands to the engine; the
// enrollment operations (CreatePkcs10Request, AcceptPkcs7Response) report through the same
// outcome.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SystemErrors.h"

namespace zyq::enroll {

// Key lengths that SetKeyBits accepts.
inline constexpr int32_t kDefaultKeyBits = 1024;
// Key specs.
inline constexpr int32_t kKeySpecExchange = 1;   // AT_KEYEXCHANGE
inline constexpr int32_t kKeySpecSignature = 2;  // AT_SIGNATURE
// Generation flags.
inline constexpr int32_t kGenExportable = 1;     // CRYPT_EXPORTABLE
inline constexpr int32_t kGenUserProtected = 2;  // CRYPT_USER_PROTECTED

class CspSettings {
 public:
  // Builds the provider list from the providers installed now: the names of type PROV_RSA_FULL
  // in enumeration order, each once. A failing enumeration simply ends the list.
  CspSettings();

  // The outcome of the last operation on the record.
  int32_t result() const { return result_; }
  platform::SysError systemError() const { return systemError_; }
  // Records an outcome (the enrollment operations report through the record).
  void SetOutcome(int32_t result, platform::SysError systemError) {
    result_ = result;
    systemError_ = systemError;
  }

  int32_t keyBits() const { return keyBits_; }
  const std::string& providerName() const { return providerName_; }
  int32_t providerType() const { return providerType_; }
  int32_t keySpec() const { return keySpec_; }
  int32_t genKeyFlags() const { return genKeyFlags_; }
  const std::vector<std::string>& providerList() const { return providerList_; }

  // The provider name at index (a negative index counts as 0); "" past the end of the list.
  std::string ProviderAt(int32_t index) const;

  // Key bits become 1024, then bits when it is 512, 1024 or 2048 (result 0); any other value
  // leaves 1024 and gives 5301.
  int32_t SetKeyBits(int32_t bits);
  // Takes the name when it equals a listed provider name byte for byte (result 0); an empty
  // name gives 5005, an unlisted one 5046, and both leave the previous name.
  int32_t SetProviderName(std::string_view name);
  // Only PROV_RSA_FULL providers are offered, so the type stays 1 whatever is asked (result 0).
  int32_t SetProviderType(int32_t type);
  // 2 selects the signature key; any other value the exchange key (result 0).
  int32_t SetKeySpec(int32_t keySpec);
  // 0 to 3 are taken as they are; any other value gives exportable (1) (result 0).
  int32_t SetGenKeyFlags(int32_t flags);

 private:
  int32_t result_ = 0;
  platform::SysError systemError_ = 0;
  int32_t keyBits_ = kDefaultKeyBits;
  std::string providerName_;
  int32_t providerType_ = 1;
  int32_t keySpec_ = kKeySpecExchange;
  int32_t genKeyFlags_ = kGenExportable;
  std::vector<std::string> providerList_;
};

}  // namespace zyq::enroll
