// The host facts that the host operations report, computed from the port's raw facts so that
// every rule can be checked with made-up adapters and versions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/HostInfo.h"

namespace zyq {

// How many adapters the adapter list can hold: a 10240-byte buffer of 640-byte adapter records.
inline constexpr size_t kMaxListedAdapters = 16;

// The adapters' hardware addresses, one line each in the given order, joined by "\n" (none after
// the last): the first six bytes as "%02X-%02X-%02X-%02X-%02X-%02X", zero bytes standing in for
// a shorter address. Returns 0, or 5001 (with *text empty) when there is no adapter or more
// than the list can hold.
int32_t FormatAdapterAddresses(const std::vector<platform::NetworkAdapter>& adapters,
                               std::string* text);

// The readable name of a Windows version ("Microsoft Windows XP", ...), "非 Windows 作業系統"
// when the version could not be read (every system that is not Windows), "" for an unknown
// minor version of Windows 4 to 6 and "Windows 系統無法識別" for any other major version.
// ANSI text.
std::string WindowsSystemName(const platform::OsVersion& version);

// The folder where certificate files go by default, not created here. On Windows 4 and earlier
// the drive of the Windows folder; on later Windows the profile folder ("USERPROFILE"); both
// with "\ZYQ證券" appended. On a system that is not Windows, the profile folder ($HOME) joined
// by the POSIX rule with "ZYQ證券". ANSI text.
std::string BuildDefaultCertPath(const platform::OsVersion& version,
                                 const std::string& windowsFolder,
                                 const std::string& profileFolder);

// The same for this process: the profile folder of the port.
std::string BuildDefaultCertPath(const platform::OsVersion& version);

}  // namespace zyq
