// Host facts from Windows: the version functions, IP Helper's adapter list, the profile folder
// and the version resource of the library's own file.
#include <windows.h>
#include <winsock2.h>
// (the headers below need windows.h first)
#include <iphlpapi.h>
#include <shlobj.h>

#include <vector>

#include "platform/HostInfo.h"
#include "platform/LibraryFile.h"

namespace zyq::platform {

HMODULE OwnModule();

OsVersion ReadOsVersion() {
  OsVersion v;
  OSVERSIONINFOEXA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return v;
  SYSTEM_INFO system{};
  GetNativeSystemInfo(&system);
  v.valid = true;
  v.major = info.dwMajorVersion;
  v.minor = info.dwMinorVersion;
  v.build = info.dwBuildNumber;
  v.platformId = info.dwPlatformId;
  v.productType = info.wProductType;
  v.processorArchitecture = system.wProcessorArchitecture;
  v.serverR2 = GetSystemMetrics(SM_SERVERR2) != 0;
  return v;
}

SysError ListNetworkAdapters(std::vector<NetworkAdapter>* adapters) {
  ULONG size = 0;
  DWORD err = GetAdaptersInfo(nullptr, &size);
  if (err == ERROR_NO_DATA) {
    adapters->clear();
    return kErrorSuccess;
  }
  std::vector<unsigned char> buffer;
  while (err == ERROR_BUFFER_OVERFLOW) {
    buffer.assign(size, 0);
    err = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
  }
  if (err != ERROR_SUCCESS) return err;
  adapters->clear();
  for (auto* a = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()); a != nullptr; a = a->Next) {
    if (a->Type == MIB_IF_TYPE_LOOPBACK || a->AddressLength == 0) continue;
    NetworkAdapter n;
    n.name = a->AdapterName;
    n.index = a->Index;
    n.address.assign(a->Address,
                     a->Address + std::min<UINT>(a->AddressLength, MAX_ADAPTER_ADDRESS_LENGTH));
    bool allZero = true;
    for (uint8_t b : n.address) allZero = allZero && b == 0;
    if (!allZero) adapters->push_back(std::move(n));
  }
  return kErrorSuccess;
}

std::string UserProfileFolder() {
  char path[MAX_PATH + 1] = {};
  const DWORD n = GetEnvironmentVariableA("USERPROFILE", path, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return std::string(path, n);
  if (SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK) {
    return path;
  }
  return {};
}

SettingsFolders FindSettingsFolders() {
  const auto folder = [](int id) -> std::string {
    char path[MAX_PATH + 1] = {};
    if (SHGetFolderPathA(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return {};
    return path;
  };
  return {folder(CSIDL_APPDATA), folder(CSIDL_COMMON_APPDATA)};
}

bool ReadLibraryFileVersion(std::array<uint16_t, 4>* version, SysError* error) {
  const std::string path = LibraryFilePath();
  DWORD handle = 0;
  const DWORD size = path.empty() ? 0 : GetFileVersionInfoSizeA(path.c_str(), &handle);
  if (size == 0) {
    *error = GetLastError();
    return false;
  }
  std::vector<unsigned char> block(size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (!GetFileVersionInfoA(path.c_str(), handle, size, block.data()) ||
      !VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
      fixed == nullptr || fixedSize < sizeof(VS_FIXEDFILEINFO)) {
    *error = GetLastError();
    return false;
  }
  *version = {HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
              HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS)};
  return true;
}

}  // namespace zyq::platform
