#include "platform/posix/keys/KeyRules.h"

#include <pwd.h>
#include <strings.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/CryptoKeys.h"
#include "platform/DialogHost.h"

namespace zyq::platform::posix {

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

SysError ResolveProvider(std::string_view name, uint32_t type, ProviderInfo* provider) {
  if (type == 0 || type > kMaxProvType) return kNteBadProvType;
  if (name.empty()) {
    // The default provider of each type, as Windows registers them.
    if (type == kProvRsaFull) return FindProvider(kMsStrongProv, provider);
    if (type == kProvRsaAes) return FindProvider(kMsEnhRsaAesProv, provider);
    for (const ProviderInfo& p : ListProviders()) {
      if (p.type == type) {
        *provider = p;
        return kErrorSuccess;
      }
    }
    return kNteProvTypeNotDef;
  }
  ProviderInfo found;
  if (SysError err = FindProvider(name, &found); err != kErrorSuccess) return err;
  if (found.type != type) return kNteProvTypeNoMatch;
  *provider = found;
  return kErrorSuccess;
}

uint32_t DefaultKeyBits(const ProviderInfo& provider) {
  return SameName(provider.name, kMsDefProv) ? 512 : 1024;
}

SysError CheckGeneratedKeyBits(const ProviderInfo& provider, uint32_t keySpec, uint32_t bits) {
  if (bits < kMinGeneratedBits || bits > kMaxKeyBits || bits % 8 != 0) return kNteBadFlags;
  // The Base provider's exchange keys stop at 1024 bits (its signature keys do not).
  if (SameName(provider.name, kMsDefProv) && keySpec == kAtKeyExchange && bits > 1024) {
    return kNteBadFlags;
  }
  return kErrorSuccess;
}

std::string DefaultContainerName() {
  std::vector<char> buffer(16384);
  struct passwd entry {};
  struct passwd* result = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 &&
      result != nullptr && result->pw_name != nullptr && *result->pw_name != '\0') {
    return result->pw_name;
  }
  if (const char* user = std::getenv("USER"); user != nullptr && *user != '\0') return user;
  return "default";
}

SysError ConfirmPrivateKeyUse(uint32_t keyFlags, bool silent, const std::string& container) {
  if ((keyFlags & kCryptUserProtected) == 0) return kErrorSuccess;
  if (silent) return kNteSilentContext;
  return CurrentDialogHost().ConfirmKeyAccess(container) ? kErrorSuccess : kErrorCancelled;
}

}  // namespace zyq::platform::posix
