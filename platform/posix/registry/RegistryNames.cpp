#include "platform/posix/registry/RegistryNames.h"

#include "platform/Registry.h"
#include "platform/Text.h"

namespace zyq::platform::posix {

char16_t FoldRegistryChar(char16_t u) {
  if (u < 0x80) return (u >= u'a' && u <= u'z') ? static_cast<char16_t>(u - 0x20) : u;
  // Latin-1: à..þ except ÷; ÿ has its capital in Latin Extended-A.
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char16_t>(u - 0x20);
  if (u == 0xFF) return 0x178;
  // Latin Extended-A: capital and small letters in pairs.
  if ((u >= 0x100 && u <= 0x137) || (u >= 0x14A && u <= 0x177)) {
    return static_cast<char16_t>(u & ~1u);
  }
  if ((u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E)) {
    return (u & 1u) ? u : static_cast<char16_t>(u - 1);
  }
  // Greek.
  if (u == 0x3AC) return 0x386;
  if (u >= 0x3AD && u <= 0x3AF) return static_cast<char16_t>(u - 0x25);
  if (u == 0x3C2) return 0x3A3;
  if (u >= 0x3B1 && u <= 0x3CB) return static_cast<char16_t>(u - 0x20);
  if (u == 0x3CC) return 0x38C;
  if (u == 0x3CD || u == 0x3CE) return static_cast<char16_t>(u - 0x3F);
  // Cyrillic.
  if (u >= 0x430 && u <= 0x44F) return static_cast<char16_t>(u - 0x20);
  if (u >= 0x450 && u <= 0x45F) return static_cast<char16_t>(u - 0x50);
  // Full-width Latin.
  if (u >= 0xFF41 && u <= 0xFF5A) return static_cast<char16_t>(u - 0x20);
  return u;
}

std::string FoldRegistryName(std::string_view utf8) {
  std::u16string wide = Utf8ToWide(utf8);
  for (char16_t& u : wide) u = FoldRegistryChar(u);
  return WideToUtf8(wide);
}

SysError SplitRegistryPath(std::string_view ansiPath, std::vector<std::string>* names) {
  names->clear();
  if (ansiPath.empty()) return kErrorSuccess;
  // Cut in UTF-16, where a backslash is always a separator (in the ANSI text it may be the
  // second byte of a double-byte character).
  std::u16string wide = AnsiToWide(ansiPath);
  if (wide.front() == u'\\') return kErrorBadPathname;
  if (wide.back() == u'\\') wide.pop_back();
  size_t start = 0;
  while (start <= wide.size()) {
    size_t end = wide.find(u'\\', start);
    if (end == std::u16string::npos) end = wide.size();
    if (end == start) return kErrorBadPathname;
    if (end - start > kRegistryMaxKeyNameLength) return kErrorInvalidParameter;
    if (names->size() == kRegistryMaxDepth) return kErrorInvalidParameter;
    names->push_back(WideToUtf8(std::u16string_view(wide).substr(start, end - start)));
    start = end + 1;
  }
  return kErrorSuccess;
}

SysError ConvertValueName(std::string_view ansiName, std::string* utf8) {
  const std::u16string wide = AnsiToWide(ansiName);
  if (wide.size() > kRegistryMaxValueNameLength) return kErrorInvalidParameter;
  *utf8 = WideToUtf8(wide);
  return kErrorSuccess;
}

}  // namespace zyq::platform::posix
