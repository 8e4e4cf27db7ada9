// Names of the registry substitute: how key paths are cut into key names, how names are
// checked against the limits, and the case-folded form under which names are matched.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/SystemErrors.h"

namespace zyq::platform::posix {

// The upper-case form of one UTF-16 code unit for name matching: ASCII, Latin-1, Latin
// Extended-A, Greek, Cyrillic and full-width Latin letters change; everything else stays.
char16_t FoldRegistryChar(char16_t unit);

// The form under which a UTF-8 name is matched (every code unit folded), in UTF-8.
std::string FoldRegistryName(std::string_view utf8);

// Cuts an ANSI key path into UTF-8 key names. "" gives no names; one trailing "\" is ignored.
// ERROR_BAD_PATHNAME for a leading "\" or an empty name between two "\"; ERROR_INVALID_PARAMETER
// for a name longer than 255 characters or more than 512 levels.
SysError SplitRegistryPath(std::string_view ansiPath, std::vector<std::string>* names);

// Converts an ANSI value name to UTF-8; ERROR_INVALID_PARAMETER past 16383 characters.
SysError ConvertValueName(std::string_view ansiName, std::string* utf8);

}  // namespace zyq::platform::posix
