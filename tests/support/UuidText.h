// Checks the text form of container names: 8-4-4-4-12 upper-case hexadecimal digits.
#pragma once

#include <string_view>

namespace zyq::test {

inline bool IsUpperCaseUuidText(std::string_view text) {
  if (text.size() != 36) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (c != '-') return false;
    } else if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
      return false;
    }
  }
  return true;
}

}  // namespace zyq::test
