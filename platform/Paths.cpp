#include "platform/Paths.h"

#include "platform/Text.h"

namespace zyq::platform {

size_t FindLastBackslash(std::string_view path) {
  size_t last = std::string_view::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(path[i]);
    if (IsAnsiLeadByte(b) && i + 1 < path.size()) {
      ++i;  // the trail byte is part of the character, whatever its value
    } else if (b == '\\') {
      last = i;
    }
  }
  return last;
}

bool EndsWithBackslash(std::string_view path) {
  return !path.empty() && FindLastBackslash(path) == path.size() - 1;
}

std::string JoinWindowsPath(std::string_view folder, std::string_view name) {
  std::string out(folder);
  if (folder.size() > 3) out.push_back('\\');
  out.append(name);
  return out;
}

std::string AppendWindowsName(std::string_view folder, std::string_view name) {
  std::string out(folder);
  if (!EndsWithBackslash(folder)) out.push_back('\\');
  out.append(name);
  return out;
}

PathParts SplitWindowsPath(std::string_view path) {
  const size_t i = FindLastBackslash(path);
  if (i != std::string_view::npos && i > 2) {
    return {std::string(path.substr(0, i)), std::string(path.substr(i + 1))};
  }
  const size_t head = path.size() < 3 ? path.size() : 3;
  return {std::string(path.substr(0, head)), std::string(path.substr(head))};
}

std::string JoinPosixPath(std::string_view folder, std::string_view name) {
  std::string out(folder);
  if (folder.empty() || folder.back() != '/') out.push_back('/');
  out.append(name);
  return out;
}

PathParts SplitPosixPath(std::string_view path) {
  const size_t i = path.rfind('/');
  if (i == std::string_view::npos) return {std::string(), std::string(path)};
  if (i == 0) return {"/", std::string(path.substr(1))};
  return {std::string(path.substr(0, i)), std::string(path.substr(i + 1))};
}

}  // namespace zyq::platform
