// A throwaway place to run this program in: a new private folder and the program started again
// with extra environment variables. The demonstration uses it so that everything it does
// (state database, certificate stores, key containers, files, dialogs) stays in a folder of its
// own, set before the library is loaded, and is removed afterwards.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/SystemErrors.h"

namespace zyq::platform {

// Creates a new folder (mode 0700) named prefix + six random characters in the temporary
// folder ($TMPDIR, else /tmp) and returns its path (UTF-8). Errors as the system gives them.
SysError MakePrivateTempFolder(std::string_view prefix, std::string* path);

// Removes a folder with everything in it; links are removed, not followed. Best effort.
void RemoveFolderTree(const std::string& path);

// Runs this program again with the arguments (argv[1] onward) and the current environment plus
// the given variables, and waits for it. *status is its exit status, or 128 + the signal that
// ended it. Standard input, output and error are shared.
SysError RunThisProgramAgain(const std::vector<std::string>& args,
                             const std::vector<std::pair<std::string, std::string>>& environment,
                             int* status);

}  // namespace zyq::platform
