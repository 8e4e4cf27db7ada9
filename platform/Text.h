// Text conversions between the engine's narrow ANSI text and the wide (UTF-16) text of the
// interfaces, and UTF-8 for what crosses to the operating system and the terminal.
//
// The process's ANSI code page is 950 (Big5, as Windows defines it) unless the environment
// variable ZYQSEC_ACP names another one (65001 is UTF-8). Conversions never fail: a wide
// character that the code page cannot hold becomes '?', as WideCharToMultiByte gives it with
// the default character, and a byte sequence that is not valid in the code page becomes '?'.
#pragma once

#include <string>
#include <string_view>

namespace zyq::platform {

// The ANSI code page in force for this process (read once).
unsigned AnsiCodePage();

std::string WideToAnsi(std::u16string_view wide);
std::u16string AnsiToWide(std::string_view ansi);

// UTF-8 <-> UTF-16. Lone surrogates become U+FFFD in UTF-8.
std::string WideToUtf8(std::u16string_view wide);
std::u16string Utf8ToWide(std::string_view utf8);

std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);

// Upper-cases ANSI text as CharUpperA does for the DBCS code pages: ASCII letters of single-byte
// characters change, both bytes of a double-byte character stay as they are.
std::string AnsiUpperCase(std::string_view ansi);

// True when byte is the lead byte of a double-byte character in the ANSI code page.
bool IsAnsiLeadByte(unsigned char byte);

}  // namespace zyq::platform
