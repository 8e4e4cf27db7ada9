// The cryptographic service providers installed for the current user: what CryptEnumProviders
// lists, and the way to install further software RSA providers.
//
// Four providers are always installed:
//   "Microsoft Base Cryptographic Provider v1.0"            type 1 (PROV_RSA_FULL)
//   "Microsoft Enhanced Cryptographic Provider v1.0"        type 1
//   "Microsoft Enhanced RSA and AES Cryptographic Provider" type 24 (PROV_RSA_AES)
//   "Microsoft Strong Cryptographic Provider"               type 1
// InstallProvider adds further providers (kept in the user's state, so every process of the user
// sees them). All providers are software RSA providers that behave like the Enhanced one: keys
// of 384 to 16384 bits, in steps of 8 (the Base provider allows exchange keys of at most 1024
// bits, as on Windows). Enumeration lists every provider sorted by name, compared without
// regard to letter case, as the registry that CryptEnumProviders reads on Windows returns them;
// with the built-in names alone that is the order above.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SystemErrors.h"

namespace zyq::platform {

inline constexpr uint32_t kProvRsaFull = 1;  // PROV_RSA_FULL
inline constexpr uint32_t kProvRsaAes = 24;  // PROV_RSA_AES
inline constexpr uint32_t kMaxProvType = 999;

inline constexpr const char* kMsDefProv = "Microsoft Base Cryptographic Provider v1.0";
inline constexpr const char* kMsEnhancedProv = "Microsoft Enhanced Cryptographic Provider v1.0";
inline constexpr const char* kMsEnhRsaAesProv =
    "Microsoft Enhanced RSA and AES Cryptographic Provider";
inline constexpr const char* kMsStrongProv = "Microsoft Strong Cryptographic Provider";

struct ProviderInfo {
  std::string name;   // ANSI text, as installed
  uint32_t type = 0;  // PROV_RSA_FULL 1, PROV_RSA_AES 24, or what InstallProvider was given

  bool operator==(const ProviderInfo&) const = default;
};

// CryptEnumProviders: the provider at index (0-based) of the enumeration order above.
// kErrorNoMoreItems (259) past the end; a state database failure gives its error.
SysError EnumProvider(uint32_t index, ProviderInfo* provider);

// All providers in enumeration order (the built-in ones even when the state cannot be read).
std::vector<ProviderInfo> ListProviders();

// Looks a provider up by name (letter case ignored, as registry key names are).
// NTE_KEYSET_NOT_DEF when no provider has that name.
SysError FindProvider(std::string_view name, ProviderInfo* provider);

// Installs a software RSA provider of any name and type for the current user, persisted in the
// state database, so that tests and deployments can offer providers whose names do not begin
// with "Microsoft". Name: 1..255 ANSI characters without '\\' (a registry key name);
// type: 1..999. Errors: kErrorInvalidParameter for a bad name, NTE_BAD_PROV_TYPE for a bad type,
// NTE_EXISTS when a provider of that name (letter case ignored) is installed already.
SysError InstallProvider(std::string_view name, uint32_t type);

// Removes a provider that InstallProvider added, with all of its key containers.
// NTE_KEYSET_NOT_DEF when no installed provider has that name; kErrorAccessDenied for the
// built-in providers, which cannot be removed.
SysError RemoveProvider(std::string_view name);

}  // namespace zyq::platform
