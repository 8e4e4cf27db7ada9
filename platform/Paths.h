// The rules for joining a folder and a file name and for splitting a full path, in both forms
// the component meets: the Windows rules of the paths it stores and shows ("\" separators, in
// ANSI text where a "\" byte may be the second byte of a double-byte character and is then no
// separator), and the POSIX rules of the paths it hands to this machine ("/" separators).
// All texts are ANSI; nothing here touches the file system.
#pragma once

#include <string>
#include <string_view>

namespace zyq::platform {

struct PathParts {
  std::string folder;
  std::string name;
};

// --- Windows rules ---

// The byte position of the last "\" that is a separator (not the trail byte of a double-byte
// character of the ANSI code page); npos when there is none.
size_t FindLastBackslash(std::string_view path);

// True when the text ends with a separator "\".
bool EndsWithBackslash(std::string_view path);

// A full path: folder, then "\" when the folder is longer than three characters (so "C:\" and
// "C:" take none), then name.
std::string JoinWindowsPath(std::string_view folder, std::string_view name);

// folder + "\" + name, the "\" left out when folder already ends with one: the path a dialog
// shows for a folder and a file name.
std::string AppendWindowsName(std::string_view folder, std::string_view name);

// Splits at the last "\" at position i: when i > 2, folder = the text before it and name =
// the text after it; otherwise folder = the first three bytes and name = the rest. So
// "C:\a.pfx" gives "C:\" and "a.pfx", "D:\certs\a.pfx" gives "D:\certs" and "a.pfx".
PathParts SplitWindowsPath(std::string_view path);

// --- POSIX rules ---

// folder + "/" + name, the "/" left out when folder ends with "/".
std::string JoinPosixPath(std::string_view folder, std::string_view name);

// Splits at the last "/": folder = the text before it ("/" itself when that is the first
// character), name = the text after it. A path without "/" is all name, with an empty folder.
// JoinPosixPath of the parts gives the path back whenever the folder is not empty.
PathParts SplitPosixPath(std::string_view path);

// --- The rules of this machine ---
// JoinPath and SplitPath are the rules of the paths the engine stores (Windows: the folder takes
// a "\" only when longer than three characters); AppendPathName is the join a dialog shows:
// folder, this machine's separator unless the folder already ends with one, name.

#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
inline std::string JoinPath(std::string_view folder, std::string_view name) {
  return JoinWindowsPath(folder, name);
}
inline PathParts SplitPath(std::string_view path) {
  return SplitWindowsPath(path);
}
inline std::string AppendPathName(std::string_view folder, std::string_view name) {
  return AppendWindowsName(folder, name);
}
#else
inline constexpr char kPathSeparator = '/';
inline std::string JoinPath(std::string_view folder, std::string_view name) {
  return JoinPosixPath(folder, name);
}
inline PathParts SplitPath(std::string_view path) {
  return SplitPosixPath(path);
}
inline std::string AppendPathName(std::string_view folder, std::string_view name) {
  return JoinPosixPath(folder, name);
}
#endif

}  // namespace zyq::platform
