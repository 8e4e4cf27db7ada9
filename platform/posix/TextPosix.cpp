// The text conversions of the platform port, over the tables of CodePageTables.
#include <string>

#include "platform/Text.h"
#include "platform/posix/CodePageTables.h"

namespace zyq::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char16_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

// Whether every unit is below 0x80 (NUL included: it converts to itself either way).
template <typename Char>
bool IsAscii(std::basic_string_view<Char> text) {
  for (const Char c : text) {
    if (static_cast<uint32_t>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

unsigned AnsiCodePage() {
  return posix::AnsiBasics().codePage;
}

bool IsAnsiLeadByte(unsigned char byte) {
  // Lead bytes are 0x81 and above in every double-byte code page.
  if (byte < 0x80 || posix::AnsiBasics().codePage == 65001) return false;
  return posix::AnsiTable().leadByte[byte];
}

std::string WideToUtf8(std::u16string_view wide) {
  std::string out;
  out.reserve(wide.size());
  for (size_t i = 0; i < wide.size(); ++i) {
    const char16_t u = wide[i];
    if (IsHighSurrogate(u) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) {
      AppendUtf8(out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (wide[i + 1] - 0xDC00));
      ++i;
    } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

std::u16string Utf8ToWide(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char b = static_cast<unsigned char>(utf8[i]);
    size_t extra = 0;
    char32_t cp = 0;
    if (b < 0x80) {
      cp = b;
    } else if ((b & 0xE0) == 0xC0 && b >= 0xC2) {
      extra = 1;
      cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2;
      cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0 && b <= 0xF4) {
      extra = 3;
      cp = b & 0x07;
    } else {
      out.push_back(static_cast<char16_t>(kReplacement));
      ++i;
      continue;
    }
    bool ok = true;
    size_t j = 1;
    for (; ok && j <= extra; ++j) {
      if (i + j >= utf8.size()) {
        ok = false;
        break;
      }
      const unsigned char c = static_cast<unsigned char>(utf8[i + j]);
      if ((c & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (c & 0x3F);
    }
    const bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
    if (!ok || overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(static_cast<char16_t>(kReplacement));
      i += ok ? extra + 1 : j;
      continue;
    }
    AppendUtf16(out, cp);
    i += extra + 1;
  }
  return out;
}

std::string WideToAnsi(std::u16string_view wide) {
  if (posix::AnsiBasics().asciiSame && IsAscii(wide)) return std::string(wide.begin(), wide.end());
  const auto& t = posix::AnsiTable();
  if (t.codePage == 65001) return WideToUtf8(wide);
  std::string out;
  out.reserve(wide.size() * 2);
  for (size_t i = 0; i < wide.size(); ++i) {
    const char16_t u = wide[i];
    if (IsHighSurrogate(u) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) {
      // A character outside the BMP is one character: one default character for it.
      out.push_back('?');
      ++i;
      continue;
    }
    if (u == 0) {
      out.push_back('\0');
      continue;
    }
    const uint16_t code = t.fromWide[u];
    if (code == 0) {
      out.push_back('?');
    } else if (code > 0xFF) {
      out.push_back(static_cast<char>(code >> 8));
      out.push_back(static_cast<char>(code & 0xFF));
    } else {
      out.push_back(static_cast<char>(code));
    }
  }
  return out;
}

std::u16string AnsiToWide(std::string_view ansi) {
  if (posix::AnsiBasics().asciiSame && IsAscii(ansi))
    return std::u16string(ansi.begin(), ansi.end());
  const auto& t = posix::AnsiTable();
  if (t.codePage == 65001) return Utf8ToWide(ansi);
  // Written in place (never more units than bytes), then cut to the units written.
  std::u16string out(ansi.size(), u'\0');
  size_t n = 0;
  for (size_t i = 0; i < ansi.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(ansi[i]);
    if (t.leadByte[b]) {
      if (i + 1 < ansi.size()) {
        const unsigned char trail = static_cast<unsigned char>(ansi[i + 1]);
        const char16_t unit = t.doubleToWide[((b - 0x80) << 8) | trail];
        if (unit != 0) {
          out[n++] = unit;
          ++i;
          continue;
        }
      }
      out[n++] = u'?';
      continue;
    }
    out[n++] = b == 0 ? u'\0' : (t.toWide[b] != 0 ? t.toWide[b] : u'?');
  }
  out.resize(n);
  return out;
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
    const unsigned char b = static_cast<unsigned char>(out[i]);
    if (IsAnsiLeadByte(b) && i + 1 < out.size()) {
      ++i;
    } else if (b >= 'a' && b <= 'z') {
      out[i] = static_cast<char>(b - 'a' + 'A');
    }
  }
  return out;
}

}  // namespace zyq::platform
