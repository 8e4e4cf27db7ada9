#include "enroll/CspSettings.h"

#include <algorithm>

#include "engine/ResultCodes.h"
#include "platform/Providers.h"

namespace zyq::enroll {

CspSettings::CspSettings() {
  // One snapshot of the installed providers, in their enumeration order. The built-in providers
  // are listed even when the user's state cannot be read, so that failure only shortens the list.
  for (const platform::ProviderInfo& provider : platform::ListProviders()) {
    if (provider.type != platform::kProvRsaFull) continue;
    if (std::find(providerList_.begin(), providerList_.end(), provider.name) ==
        providerList_.end()) {
      providerList_.push_back(provider.name);
    }
  }
}

std::string CspSettings::ProviderAt(int32_t index) const {
  const size_t at = index < 0 ? 0 : static_cast<size_t>(index);
  return at < providerList_.size() ? providerList_[at] : std::string();
}

int32_t CspSettings::SetKeyBits(int32_t bits) {
  SetOutcome(result::kSuccess, 0);
  keyBits_ = kDefaultKeyBits;
  if (bits == 512 || bits == 1024 || bits == 2048) {
    keyBits_ = bits;
  } else {
    result_ = result::kBadKeyLength;
  }
  return result_;
}

int32_t CspSettings::SetProviderName(std::string_view name) {
  SetOutcome(result::kBadCspName, 0);
  if (name.empty()) {
    result_ = result::kBadParameter;
    return result_;
  }
  // Byte-for-byte comparison: a name that differs from a listed one only in letter case is
  // refused, although the provider lookup itself would accept it.
  if (std::find(providerList_.begin(), providerList_.end(), name) != providerList_.end()) {
    providerName_ = std::string(name);
    result_ = result::kSuccess;
  }
  return result_;
}

int32_t CspSettings::SetProviderType(int32_t /*type*/) {
  SetOutcome(result::kSuccess, 0);
  providerType_ = static_cast<int32_t>(platform::kProvRsaFull);
  return result_;
}

int32_t CspSettings::SetKeySpec(int32_t keySpec) {
  SetOutcome(result::kSuccess, 0);
  keySpec_ = keySpec == kKeySpecSignature ? kKeySpecSignature : kKeySpecExchange;
  return result_;
}

int32_t CspSettings::SetGenKeyFlags(int32_t flags) {
  SetOutcome(result::kSuccess, 0);
  genKeyFlags_ = (flags >= 0 && flags <= 3) ? flags : kGenExportable;
  return result_;
}

}  // namespace zyq::enroll
