#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/HostInfo.h"
#include "platform/Text.h"
#include "platform/posix/VersionRecord.h"
#include "platform/posix/files/ErrnoMapping.h"

namespace zyq::platform {

OsVersion ReadOsVersion() {
  // Not Windows: there is no Windows version to read.
  return OsVersion{};
}

namespace {
// The record lives in the library's read-only data, like a version resource.
[[gnu::used]] const uint16_t kVersionRecord[4] = {ZYQ_FILE_VERSION_MAJOR, ZYQ_FILE_VERSION_MINOR,
                                                  ZYQ_FILE_VERSION_PATCH, ZYQ_FILE_VERSION_TWEAK};
}  // namespace

bool ReadLibraryFileVersion(std::array<uint16_t, 4>* version, SysError* error) {
  if (version == nullptr) {
    if (error) *error = kErrorInvalidParameter;
    return false;
  }
  for (size_t i = 0; i < 4; ++i) (*version)[i] = kVersionRecord[i];
  return true;
}

SysError ListNetworkAdapters(std::vector<NetworkAdapter>* adapters) {
  struct ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return posix::ErrnoToSysError(errno);
  std::vector<NetworkAdapter> out;
  for (const struct ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
    if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_PACKET) continue;
    if ((it->ifa_flags & IFF_LOOPBACK) != 0) continue;
    const auto* link = reinterpret_cast<const struct sockaddr_ll*>(it->ifa_addr);
    if (link->sll_hatype == ARPHRD_LOOPBACK) continue;
    const size_t length = std::min<size_t>(link->sll_halen, sizeof link->sll_addr);
    NetworkAdapter adapter;
    adapter.name = it->ifa_name != nullptr ? it->ifa_name : "";
    adapter.index = static_cast<uint32_t>(link->sll_ifindex);
    adapter.address.assign(link->sll_addr, link->sll_addr + length);
    if (std::all_of(adapter.address.begin(), adapter.address.end(),
                    [](uint8_t b) { return b == 0; })) {
      continue;  // no hardware address (tunnels and the like)
    }
    out.push_back(std::move(adapter));
  }
  ::freeifaddrs(list);
  std::stable_sort(out.begin(), out.end(), [](const NetworkAdapter& a, const NetworkAdapter& b) {
    return a.index < b.index;
  });
  *adapters = std::move(out);
  return kErrorSuccess;
}

std::string UserProfileFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return Utf8ToAnsi(home);
  }
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr) {
    return Utf8ToAnsi(found->pw_dir);
  }
  return std::string();
}

SettingsFolders FindSettingsFolders() {
  SettingsFolders folders{.user = {}, .machine = "/etc"};
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') {
    folders.user = Utf8ToAnsi(config);
  } else if (std::string home = UserProfileFolder(); !home.empty()) {
    folders.user = home + "/.config";
  }
  return folders;
}

}  // namespace zyq::platform
