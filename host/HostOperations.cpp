#include "host/HostOperations.h"

#include <cstdio>
#include <cstring>

#include "engine/ResultCodes.h"
#include "host/HostFacts.h"
#include "host/RegistryName.h"
#include "platform/Registry.h"
#include "ui/Pickers.h"

namespace zyq::host {
namespace {

// What RegQueryValueExA is given to read a value into: a 255-byte text buffer, a 4-byte number.
constexpr size_t kTextBufferSize = 255;
constexpr size_t kDwordSize = 4;

const platform::RegistryKey kCurrentUser =
    platform::RegistryKey::Root(platform::RegistryHive::kCurrentUser);

// Creates (or opens) the key of strName and sets its value; 0, 5005 or 5906. Both steps take
// effect together: a value that cannot be written leaves no new key behind.
int32_t WriteCurrentUserValue(const Bstr& strName, uint32_t type, std::string_view data) {
  std::string keyPath, valueName;
  if (!SplitRegistryName(strName.ToAnsi(), &keyPath, &valueName)) return result::kBadParameter;
  platform::Registry& registry = platform::CurrentRegistry();
  const platform::SysError error = registry.Atomically([&]() -> platform::SysError {
    platform::RegistryKey key;
    if (const platform::SysError created = registry.CreateKey(kCurrentUser, keyPath, &key)) {
      return created;
    }
    return registry.SetValue(key, valueName, type, data);
  });
  return error == platform::kErrorSuccess ? result::kSuccess : result::kAccessDenied;
}

}  // namespace

Result<std::string> HostOperations::GetMacAddress() const {
  std::vector<platform::NetworkAdapter> adapters;
  std::string text;
  int32_t code = result::kGeneralError;
  if (platform::ListNetworkAdapters(&adapters) == platform::kErrorSuccess) {
    code = FormatAdapterAddresses(adapters, &text);
  }
  if (code != result::kSuccess) return Outcome::Failure(code);
  return text;
}

std::string HostOperations::GetDefaultCertPath() const {
  return BuildDefaultCertPath(shared_.osVersion);
}

std::string HostOperations::GetWindowsSystemName() const {
  // A fresh reading of the version, as the system would give it now.
  return WindowsSystemName(platform::ReadOsVersion());
}

Result<std::string> HostOperations::RegReadHKCU(const Bstr& strName) const {
  std::string keyPath, valueName;
  if (!SplitRegistryName(strName.ToAnsi(), &keyPath, &valueName)) {
    return Outcome::Failure(result::kBadParameter);
  }
  platform::Registry& registry = platform::CurrentRegistry();
  platform::RegistryKey key;
  if (registry.OpenKey(kCurrentUser, keyPath, &key) != platform::kErrorSuccess) {
    return Outcome::Failure(result::kAccessDenied);
  }
  // A value that is missing, too long for its buffer, or of another type reads as "" with 0.
  uint32_t type = platform::kRegNone;
  if (registry.QueryValueInfo(key, valueName, &type, nullptr) != platform::kErrorSuccess) {
    return std::string();
  }
  platform::RegistryValue value;
  if (type == platform::kRegSz) {
    if (registry.QueryValue(key, valueName, kTextBufferSize, &value) != platform::kErrorSuccess) {
      return std::string();
    }
    const size_t nul = value.data.find('\0');
    return value.data.substr(0, nul);
  }
  if (type == platform::kRegDword) {
    if (registry.QueryValue(key, valueName, kDwordSize, &value) != platform::kErrorSuccess) {
      return std::string();
    }
    int32_t number = 0;  // a shorter value leaves the rest of the number zero
    std::memcpy(&number, value.data.data(), value.data.size());
    char text[16];
    std::snprintf(text, sizeof text, "%d", number);
    return std::string(text);
  }
  return std::string();
}

Outcome HostOperations::RegWriteHKCUInt(const Bstr& strName, int32_t dw) {
  char bytes[4];
  std::memcpy(bytes, &dw, sizeof bytes);  // REG_DWORD is little-endian, as this machine
  return {
      WriteCurrentUserValue(strName, platform::kRegDword, std::string_view(bytes, sizeof bytes))};
}

Outcome HostOperations::RegWriteHKCUStr(const Bstr& strName, const Bstr& str) {
  // The text's bytes without a terminating NUL.
  return {WriteCurrentUserValue(strName, platform::kRegSz, str.ToAnsi())};
}

std::string HostOperations::SelectLocalFolder(const Bstr& initPath, const Bstr& title) {
  return ui::PromptLocalFolder(initPath.ToAnsi(), title.ToAnsi());
}

}  // namespace zyq::host
