// POSIX errno values in Windows numbering.
#pragma once

#include <string>

#include "platform/SystemErrors.h"

namespace zyq::platform::posix {

// The Windows error for an errno value. ENOENT maps to ERROR_FILE_NOT_FOUND; use
// MissingPathError when the path is known, to tell a missing file from a missing folder.
SysError ErrnoToSysError(int error);

// For a path that a call reported missing (ENOENT): ERROR_FILE_NOT_FOUND when its folder exists,
// ERROR_PATH_NOT_FOUND when the folder is missing too.
SysError MissingPathError(const std::string& utf8Path);

}  // namespace zyq::platform::posix
