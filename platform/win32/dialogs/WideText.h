// UTF-8 texts of the dialog seam as the UTF-16 texts of the "W" functions, and back.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/Text.h"

namespace zyq::platform::win32 {

inline std::wstring Wide(std::string_view utf8) {
  const std::u16string wide = Utf8ToWide(utf8);
  return std::wstring(reinterpret_cast<const wchar_t*>(wide.data()), wide.size());
}

inline std::string Utf8(std::wstring_view wide) {
  return WideToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

}  // namespace zyq::platform::win32
