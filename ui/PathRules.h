// How the dialogs join a folder and a file name into a full path and split a full path again,
// with this machine's separator "/". Texts are ANSI; "/" is never the second byte of a
// double-byte character, so the rules work byte-wise.
#pragma once

#include <string>
#include <string_view>

namespace zyq::ui {

// folder + "/" + fileName; the separator is left out when the folder already ends with one (on
// Windows also when it ends with a backslash, as "C:\" does).
std::string JoinFolderAndFile(std::string_view folder, std::string_view fileName);

struct SplitPath {
  std::string folder;
  std::string fileName;
};

// Splits at the last "/": the folder is what stands before it ("/" itself for a file at the
// root), the file name what follows. Without any "/" the folder is empty. On Windows a path whose
// last separator is a backslash (as the system's pickers answer) splits as SplitWindowsPath does.
SplitPath SplitFullPath(std::string_view path);

// The temporary folder: $TMPDIR, or when it is unset or empty the system's (/tmp on Linux,
// the user's temporary folder on Windows).
std::string TemporaryFolder();

}  // namespace zyq::ui
