// Text conversions through the system's ANSI code page (GetACP), as the "A" functions of
// Windows convert: characters the code page cannot hold become its default character "?".
#include <windows.h>

#include "platform/Text.h"
#include "platform/win32/WinHandles.h"

namespace zyq::platform {
namespace {

std::u16string ToWide(UINT codePage, DWORD flags, std::string_view text) {
  if (text.empty()) return {};
  const int n =
      MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::u16string out(static_cast<size_t>(n), u'\0');
  MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()),
                      reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}

std::string FromWide(UINT codePage, std::u16string_view text) {
  if (text.empty()) return {};
  const auto* chars = reinterpret_cast<const wchar_t*>(text.data());
  const int n = WideCharToMultiByte(codePage, 0, chars, static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, chars, static_cast<int>(text.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

}  // namespace

unsigned AnsiCodePage() {
  return GetACP();
}

std::string WideToAnsi(std::u16string_view wide) {
  return FromWide(CP_ACP, wide);
}

std::u16string AnsiToWide(std::string_view ansi) {
  return ToWide(CP_ACP, 0, ansi);
}

std::string WideToUtf8(std::u16string_view wide) {
  return FromWide(CP_UTF8, wide);
}

std::u16string Utf8ToWide(std::string_view utf8) {
  return ToWide(CP_UTF8, 0, utf8);
}

std::string AnsiToUtf8(std::string_view ansi) {
  return WideToUtf8(AnsiToWide(ansi));
}

std::string Utf8ToAnsi(std::string_view utf8) {
  return WideToAnsi(Utf8ToWide(utf8));
}

std::string AnsiUpperCase(std::string_view ansi) {
  std::string out(ansi);
  for (size_t i = 0; i < out.size(); ++i) {
    const auto byte = static_cast<unsigned char>(out[i]);
    if (IsDBCSLeadByte(byte) && i + 1 < out.size()) {
      ++i;
    } else if (byte >= 'a' && byte <= 'z') {
      out[i] = static_cast<char>(byte - 'a' + 'A');
    }
  }
  return out;
}

bool IsAnsiLeadByte(unsigned char byte) {
  return IsDBCSLeadByte(byte) != FALSE;
}

namespace win32 {

std::wstring AnsiToWideW(std::string_view ansi) {
  const std::u16string w = platform::AnsiToWide(ansi);
  return std::wstring(w.begin(), w.end());
}

std::string WideToAnsiW(std::wstring_view wide) {
  return platform::WideToAnsi(
      std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

}  // namespace win32
}  // namespace zyq::platform
