#include "ui/PathRules.h"

#include <cstdlib>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace zyq::ui {

std::string JoinFolderAndFile(std::string_view folder, std::string_view fileName) {
  return platform::AppendPathName(folder, fileName);
}

SplitPath SplitFullPath(std::string_view path) {
  platform::PathParts parts = platform::SplitPath(path);
  return {std::move(parts.folder), std::move(parts.name)};
}

std::string TemporaryFolder() {
  const char* tmp = std::getenv("TMPDIR");
  if (tmp != nullptr && *tmp != '\0') return tmp;
  return platform::CurrentFileSystem().TempFolder();
}

}  // namespace zyq::ui
