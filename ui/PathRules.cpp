#include "ui/PathRules.h"

#include <cstdlib>

#include "platform/FileSystem.h"

namespace zyq::ui {

std::string JoinFolderAndFile(std::string_view folder, std::string_view fileName) {
  std::string path(folder);
  if (path.empty() || path.back() != '/') path.push_back('/');
  path.append(fileName);
  return path;
}

SplitPath SplitFullPath(std::string_view path) {
  const size_t slash = path.rfind('/');
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
