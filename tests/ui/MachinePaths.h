// Paths the shared dialog tests write in "/" form, in the form of this machine's path rules, so
// one case checks the dialogs on Linux and on Windows: unchanged where the separator is "/";
// where it is "\", every "/" becomes "\" and a path from the root gets the drive "C:"
// ("/home/u/a.pfx" is "C:\home\u\a.pfx").
#pragma once

#include <string>
#include <string_view>

#include "platform/Paths.h"

namespace zyq::test {

inline std::string MachinePath(std::string_view slashed) {
  if (platform::kPathSeparator == '/') return std::string(slashed);
  std::string path = slashed.starts_with('/') ? "C:" : "";
  for (char c : slashed) path.push_back(c == '/' ? platform::kPathSeparator : c);
  return path;
}

// The text as it stands inside a string of the transcript's JSON lines ("\" written "\\").
inline std::string InJson(std::string_view text) {
  std::string json;
  for (char c : text) {
    if (c == '\\') json.push_back('\\');
    json.push_back(c);
  }
  return json;
}

}  // namespace zyq::test
