#include "ui/PathRules.h"

#include <cstdlib>

#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace zyq::ui {

std::string JoinFolderAndFile(std::string_view folder, std::string_view fileName) {
  std::string path(folder);
  bool separated = !path.empty() && path.back() == '/';
#if defined(_WIN32)
  separated = separated || platform::EndsWithBackslash(path);
#endif
  if (!separated) path.push_back('/');
  path.append(fileName);
  return path;
}

SplitPath SplitFullPath(std::string_view path) {
  const size_t slash = path.rfind('/');
#if defined(_WIN32)
  // The system's pickers answer with "\" separators: a path whose last separator is one splits
  // by the Windows rule.
  const size_t backslash = platform::FindLastBackslash(path);
  if (backslash != std::string_view::npos &&
      (slash == std::string_view::npos || backslash > slash)) {
    platform::PathParts parts = platform::SplitWindowsPath(path);
    return {std::move(parts.folder), std::move(parts.name)};
  }
#endif
  if (slash == std::string_view::npos) return {std::string(), std::string(path)};
  if (slash == 0) return {"/", std::string(path.substr(1))};
  return {std::string(path.substr(0, slash)), std::string(path.substr(slash + 1))};
}

std::string TemporaryFolder() {
  const char* tmp = std::getenv("TMPDIR");
  if (tmp != nullptr && *tmp != '\0') return tmp;
  return platform::CurrentFileSystem().TempFolder();
}

}  // namespace zyq::ui
