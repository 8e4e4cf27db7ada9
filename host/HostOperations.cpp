// The host operations of SecurityEngine: adapter addresses, the default certificate folder, the
// Windows version's name, the current user's registry values and the folder picker.
#include <cstdio>
#include <cstring>

#include "engine/ResultCodes.h"
#include "engine/SecurityEngine.h"
#include "host/HostFacts.h"
#include "host/RegistryName.h"
#include "platform/Registry.h"
#include "ui/Pickers.h"

namespace zyq {
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

Bstr SecurityEngine::GetMacAddress() {
  BeginOperation(false);
  std::vector<platform::NetworkAdapter> adapters;
  std::string text;
  int32_t code = result::kGeneralError;
  if (platform::ListNetworkAdapters(&adapters) == platform::kErrorSuccess) {
    code = FormatAdapterAddresses(adapters, &text);
  }
  if (code != result::kSuccess) {
    Fail(code);
    return Bstr::FromAnsi("");
  }
  return Bstr::FromAnsi(text);
}

Bstr SecurityEngine::GetDefaultCertPath() {
  return Bstr::FromAnsi(BuildDefaultCertPath(osVersion_));
}

Bstr SecurityEngine::GetWindowsSystemName() {
  // A fresh reading of the version, as the system would give it now.
  return Bstr::FromAnsi(WindowsSystemName(platform::ReadOsVersion()));
}

Bstr SecurityEngine::RegReadHKCU(Bstr strName) {
  BeginOperation(false);
  std::string keyPath, valueName;
  if (!SplitRegistryName(strName.ToAnsi(), &keyPath, &valueName)) {
    Fail(result::kBadParameter);
    return Bstr::FromAnsi("");
  }
  platform::Registry& registry = platform::CurrentRegistry();
  platform::RegistryKey key;
  if (registry.OpenKey(kCurrentUser, keyPath, &key) != platform::kErrorSuccess) {
    Fail(result::kAccessDenied);
    return Bstr::FromAnsi("");
  }
  // A value that is missing, too long for its buffer, or of another type reads as "" with 0.
  uint32_t type = platform::kRegNone;
  if (registry.QueryValueInfo(key, valueName, &type, nullptr) != platform::kErrorSuccess) {
    return Bstr::FromAnsi("");
  }
  platform::RegistryValue value;
  if (type == platform::kRegSz) {
    if (registry.QueryValue(key, valueName, kTextBufferSize, &value) != platform::kErrorSuccess) {
      return Bstr::FromAnsi("");
    }
    const size_t nul = value.data.find('\0');
    return Bstr::FromAnsi(std::string_view(value.data).substr(0, nul));
  }
  if (type == platform::kRegDword) {
    if (registry.QueryValue(key, valueName, kDwordSize, &value) != platform::kErrorSuccess) {
      return Bstr::FromAnsi("");
    }
    int32_t number = 0;  // a shorter value leaves the rest of the number zero
    std::memcpy(&number, value.data.data(), value.data.size());
    char text[16];
    std::snprintf(text, sizeof text, "%d", number);
    return Bstr::FromAnsi(text);
  }
  return Bstr::FromAnsi("");
}

int32_t SecurityEngine::RegWriteHKCUInt(Bstr strName, int32_t dw) {
  BeginOperation(false);
  char bytes[4];
  std::memcpy(bytes, &dw, sizeof bytes);  // REG_DWORD is little-endian, as this machine
  const int32_t code =
      WriteCurrentUserValue(strName, platform::kRegDword, std::string_view(bytes, sizeof bytes));
  if (code != result::kSuccess) Fail(code);
  return resultCode_;
}

int32_t SecurityEngine::RegWriteHKCUStr(Bstr strName, Bstr str) {
  BeginOperation(false);
  // The text's bytes without a terminating NUL.
  const int32_t code = WriteCurrentUserValue(strName, platform::kRegSz, str.ToAnsi());
  if (code != result::kSuccess) Fail(code);
  return resultCode_;
}

Bstr SecurityEngine::SelectLocalFolder(Bstr initPath, Bstr title) {
  // Reports nothing: the chosen folder, or "" when the user cancelled.
  return Bstr::FromAnsi(ui::PromptLocalFolder(initPath.ToAnsi(), title.ToAnsi()));
}

}  // namespace zyq
