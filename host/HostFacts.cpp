#include "host/HostFacts.h"

#include <cstdio>

#include "engine/ResultCodes.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace zyq {
namespace {

// The company's folder of certificate files, in UTF-8 here and ANSI where it is used.
constexpr std::string_view kCertFolderName = "ZYQ證券";

}  // namespace

int32_t FormatAdapterAddresses(const std::vector<platform::NetworkAdapter>& adapters,
                               std::string* text) {
  text->clear();
  if (adapters.empty() || adapters.size() > kMaxListedAdapters) return result::kGeneralError;
  for (const platform::NetworkAdapter& adapter : adapters) {
    uint8_t b[6] = {0, 0, 0, 0, 0, 0};
    for (size_t i = 0; i < 6 && i < adapter.address.size(); ++i) b[i] = adapter.address[i];
    char line[18];
    std::snprintf(line, sizeof line, "%02X-%02X-%02X-%02X-%02X-%02X", b[0], b[1], b[2], b[3], b[4],
                  b[5]);
    if (!text->empty()) text->push_back('\n');
    text->append(line);
  }
  return result::kSuccess;
}

std::string WindowsSystemName(const platform::OsVersion& v) {
  constexpr uint32_t kPlatformWindows = 1;    // VER_PLATFORM_WIN32_WINDOWS
  constexpr uint32_t kPlatformNt = 2;         // VER_PLATFORM_WIN32_NT
  constexpr uint8_t kWorkstation = 1;         // VER_NT_WORKSTATION
  constexpr uint16_t kArchitectureAmd64 = 9;  // PROCESSOR_ARCHITECTURE_AMD64
  const char* name = nullptr;
  if (!v.valid) {
    name = "非 Windows 作業系統";
  } else if (v.major == 4 && v.minor == 0 && v.platformId == kPlatformNt) {
    name = "Microsoft Windows NT 4.0";
  } else if (v.major == 4 && v.minor == 0 && v.platformId == kPlatformWindows) {
    name = "Microsoft Windows 95";
  } else if (v.major == 4 && v.minor == 10) {
    name = "Microsoft Windows 98";
  } else if (v.major == 4 && v.minor == 90) {
    name = "Microsoft Windows Me";
  } else if (v.major == 5 && v.minor == 0) {
    name = "Microsoft Windows 2000";
  } else if (v.major == 5 && v.minor == 1) {
    name = "Microsoft Windows XP";
  } else if (v.major == 5 && v.minor == 2) {
    if (v.productType == kWorkstation && v.processorArchitecture == kArchitectureAmd64) {
      name = "Microsoft Windows XP Professional x64 Edition";
    } else {
      name = v.serverR2 ? "Microsoft Windows Server 2003 R2" : "Microsoft Windows Server 2003";
    }
  } else if (v.major == 6 && v.minor == 0) {
    name =
        v.productType == kWorkstation ? "Microsoft Windows Vista" : "Microsoft Windows Server 2008";
  } else if (v.major == 6 && v.minor == 1) {
    name =
        v.productType == kWorkstation ? "Microsoft Windows 7" : "Microsoft Windows Server 2008 R2";
  } else if (v.major >= 4 && v.major <= 6) {
    name = "";
  } else {
    name = "Windows 系統無法識別";
  }
  return platform::Utf8ToAnsi(name);
}

std::string BuildDefaultCertPath(const platform::OsVersion& version,
                                 const std::string& windowsFolder,
                                 const std::string& profileFolder) {
  const std::string folderName = platform::Utf8ToAnsi(kCertFolderName);
  if (!version.valid) return platform::JoinPosixPath(profileFolder, folderName);
  const std::string base = version.major <= 4 ? windowsFolder.substr(0, 2) : profileFolder;
  return base + "\\" + folderName;
}

std::string BuildDefaultCertPath(const platform::OsVersion& version) {
  // This port has no Windows folder: only Windows 4 would need one.
  return BuildDefaultCertPath(version, std::string(), platform::UserProfileFolder());
}

}  // namespace zyq
