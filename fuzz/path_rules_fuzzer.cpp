// The dialogs' split of a full path into folder and file name, and the join that puts them
// together again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ui/PathRules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  const zyq::ui::SplitPath split = zyq::ui::SplitFullPath(input);
  if (split.fileName.find('/') != std::string::npos) std::abort();
  const size_t slash = input.rfind('/');
  if (slash == std::string_view::npos) {
    if (!split.folder.empty() || split.fileName != input) std::abort();
  } else {
    if (split.fileName != input.substr(slash + 1)) std::abort();
    const std::string_view expectedFolder = slash == 0 ? "/" : input.substr(0, slash);
    if (split.folder != expectedFolder) std::abort();
    // The folder and the file name give the path back, but for separators doubled in front of
    // the file name, which the join writes once.
    if (split.folder.empty() || split.folder.back() != '/') {
      if (zyq::ui::JoinFolderAndFile(split.folder, split.fileName) != input) std::abort();
    }
  }

  // Join: the folder, one separator, the file name; cut at the first NUL into two texts.
  const size_t cut = input.find('\0');
  const std::string_view folder = input.substr(0, cut);
  const std::string_view file =
      cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);
  const std::string joined = zyq::ui::JoinFolderAndFile(folder, file);
  if (joined.compare(0, folder.size(), folder) != 0) std::abort();
  if (joined.size() < file.size() ||
      joined.compare(joined.size() - file.size(), file.size(), file) != 0)
    std::abort();
  const bool folderEndsWithSlash = !folder.empty() && folder.back() == '/';
  if (joined.size() != folder.size() + file.size() + (folderEndsWithSlash ? 0 : 1)) std::abort();
  return 0;
}
