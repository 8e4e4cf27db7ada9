// The rules the software providers share: which provider a name and type reach, which key
// lengths a provider makes, and when the user is asked before a private key is used.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Providers.h"
#include "platform/SystemErrors.h"

namespace zyq::platform::posix {

// Smallest and largest modulus of a stored key. OpenSSL generates nothing below 512 bits, so
// that is the smallest generated length; keys imported from elsewhere may be as small as 384.
inline constexpr uint32_t kMinGeneratedBits = 512;
inline constexpr uint32_t kMinImportedBits = 384;
inline constexpr uint32_t kMaxKeyBits = 16384;

// The provider that CryptAcquireContext reaches with this name and type (see AcquireKeyContext).
SysError ResolveProvider(std::string_view name, uint32_t type, ProviderInfo* provider);

// True when two provider or container names are equal, ASCII letter case ignored.
bool SameName(std::string_view a, std::string_view b);

// The length CryptGenKey uses when its flags give none: 512 in the Base provider, else 1024.
uint32_t DefaultKeyBits(const ProviderInfo& provider);

// NTE_BAD_FLAGS for a length the provider does not generate.
SysError CheckGeneratedKeyBits(const ProviderInfo& provider, uint32_t keySpec, uint32_t bits);

// The name of the user's default key container: the login name.
std::string DefaultContainerName();

// Before a private key is used: nothing for a key without CRYPT_USER_PROTECTED; otherwise the
// dialog host's confirmation (refused: kErrorCancelled), or NTE_SILENT_CONTEXT when the context
// must not show anything.
SysError ConfirmPrivateKeyUse(uint32_t keyFlags, bool silent, const std::string& container);

}  // namespace zyq::platform::posix
