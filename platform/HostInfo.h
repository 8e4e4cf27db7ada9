// Facts about the host: the operating system's version and the library's own version record.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/SystemErrors.h"

namespace zyq::platform {

// The fields of OSVERSIONINFOEXA and SYSTEM_INFO that the engine reads. On a system that is not
// Windows, valid is false (GetVersionExA has nothing to report) and the numbers are zero.
struct OsVersion {
  bool valid = false;
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  uint32_t platformId = 0;
  uint8_t productType = 0;
  uint16_t processorArchitecture = 0;
  bool serverR2 = false;
};

OsVersion ReadOsVersion();

// A network adapter with a hardware address.
struct NetworkAdapter {
  std::string name;              // the system's name for it ("eth0")
  uint32_t index = 0;            // the system's interface index
  std::vector<uint8_t> address;  // the hardware address, as long as the adapter's (6 for Ethernet)
};

// The adapters that have a hardware address (not all zero), the loopback adapter left out, in
// the system's interface order; adapters that are down count too. Fails only when the system
// cannot list its adapters.
SysError ListNetworkAdapters(std::vector<NetworkAdapter>* adapters);

// The user's profile folder (what "USERPROFILE" names on Windows): $HOME, else the home folder
// of the user's account; empty when there is none. ANSI text.
std::string UserProfileFolder();

// The folders where programs keep their settings files, ANSI text; a member is empty when the
// system names no such folder.
struct SettingsFolders {
  // The user's own: Windows' roaming application data folder; elsewhere $XDG_CONFIG_HOME when it
  // is an absolute path, else ~/.config.
  std::string user;
  // The machine's, which only an administrator writes: Windows' common application data folder;
  // elsewhere /etc.
  std::string machine;
};
SettingsFolders FindSettingsFolders();

// The library's file version (four numbers), from the version record built into it.
// Returns false with *error set when the record cannot be read.
bool ReadLibraryFileVersion(std::array<uint16_t, 4>* version, SysError* error);

}  // namespace zyq::platform
