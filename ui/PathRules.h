// How the dialogs join a folder and a file name into the path they show and split a picked path
// again: the rules of this machine's paths (platform/Paths.h), "/" on Linux and "\" on Windows,
// where the system's pickers answer with "\" separators. Texts are ANSI.
#pragma once

#include <string>
#include <string_view>

namespace zyq::ui {

// folder + separator + fileName; the separator is left out when the folder already ends with
// one ("/" on Linux, "C:\" on Windows).
std::string JoinFolderAndFile(std::string_view folder, std::string_view fileName);

struct SplitPath {
  std::string folder;
  std::string fileName;
};

// Splits at the last separator by this machine's rule: on Linux at the last "/" ("/" itself the
// folder of a file at the root, an empty folder without any "/"); on Windows at the last "\"
// that is no trail byte of a double-byte character (SplitWindowsPath: "C:\a.pfx" gives "C:\").
SplitPath SplitFullPath(std::string_view path);

// The temporary folder: $TMPDIR, or when it is unset or empty the system's (/tmp on Linux,
// the user's temporary folder on Windows).
std::string TemporaryFolder();

}  // namespace zyq::ui
