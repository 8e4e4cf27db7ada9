// The cryptographic service providers installed on Windows (CryptEnumProvidersA).
#include <windows.h>
// (the headers below need windows.h first)
#include <wincrypt.h>

#include <string>
#include <vector>

#include "platform/Providers.h"
#include "platform/win32/WinHandles.h"

namespace zyq::platform {

SysError EnumProvider(uint32_t index, ProviderInfo* provider) {
  DWORD type = 0, size = 0;
  if (!CryptEnumProvidersA(index, nullptr, 0, &type, nullptr, &size)) return win32::LastError();
  std::string name(size, '\0');
  if (!CryptEnumProvidersA(index, nullptr, 0, &type, name.data(), &size)) {
    return win32::LastError();
  }
  name.resize(strnlen(name.c_str(), name.size()));
  *provider = ProviderInfo{std::move(name), type};
  return kErrorSuccess;
}

std::vector<ProviderInfo> ListProviders() {
  std::vector<ProviderInfo> out;
  ProviderInfo p;
  for (uint32_t i = 0; EnumProvider(i, &p) == kErrorSuccess; ++i) out.push_back(p);
  return out;
}

SysError FindProvider(std::string_view name, ProviderInfo* provider) {
  const std::string wanted(name);
  for (const ProviderInfo& p : ListProviders()) {
    if (lstrcmpiA(p.name.c_str(), wanted.c_str()) == 0) {
      *provider = p;
      return kErrorSuccess;
    }
  }
  return kNteKeysetNotDef;
}

// Providers on Windows are DLLs registered by their installers (and signed); the library
// installs none of its own.
SysError InstallProvider(std::string_view, uint32_t) {
  return kErrorNotSupported;
}

SysError RemoveProvider(std::string_view) {
  return kErrorNotSupported;
}

}  // namespace zyq::platform
