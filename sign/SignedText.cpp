#include "sign/SignedText.h"

namespace zyq {

std::string SignedTextBytes(const platform::Bstr& text, bool ansi) {
  if (ansi) return text.ToAnsi();
  std::string bytes;
  const std::u16string_view units = text.View();
  bytes.reserve(units.size() * 2);
  for (char16_t unit : units) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

}  // namespace zyq
