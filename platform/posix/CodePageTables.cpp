// Conversion tables for the ANSI code page, built once per process from iconv.
#include <iconv.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "platform/posix/CodePageTables.h"
#include "platform/posix/ProcessLifetime.h"

namespace zyq::platform::posix {
namespace {

unsigned ReadAnsiCodePage() {
  const char* env = std::getenv("ZYQSEC_ACP");
  if (env != nullptr && *env != '\0') {
    char* end = nullptr;
    const unsigned long cp = std::strtoul(env, &end, 10);
    if (end != env && *end == '\0' && cp > 0 && cp < 100000) return static_cast<unsigned>(cp);
  }
  return 950;
}

bool IsWindowsAnsiCodePage(unsigned cp) {
  return cp == 874 || cp == 932 || cp == 936 || cp == 949 || cp == 950 ||
         (cp >= 1250 && cp <= 1258) || cp == 65001;
}

// Converts one byte sequence to a single UTF-16 code unit, or 0 when it is not exactly one
// BMP character of the code page.
char16_t ConvertOne(iconv_t cd, const unsigned char* bytes, size_t n) {
  char in[2] = {static_cast<char>(bytes[0]), n > 1 ? static_cast<char>(bytes[1]) : '\0'};
  char out[8];
  char* inp = in;
  char* outp = out;
  size_t inleft = n;
  size_t outleft = sizeof(out);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &inp, &inleft, &outp, &outleft) == static_cast<size_t>(-1)) return 0;
  if (inleft != 0 || sizeof(out) - outleft != 2) return 0;
  char16_t unit;
  std::memcpy(&unit, out, 2);
  return unit;
}

}  // namespace

CodePageTable::CodePageTable(unsigned cp) : codePage(cp) {
  toWide.fill(0);
  fromWide.assign(0x10000, 0);
  doubleToWide.assign(0x8000, 0);
  leadByte.fill(false);
  if (cp == 65001) return;
  const std::string name = "CP" + std::to_string(cp);
  iconv_t cd = iconv_open("UTF-16LE", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("UTF-16LE", "CP950");
  if (cd == reinterpret_cast<iconv_t>(-1)) return;
  for (unsigned b = 0; b < 0x100; ++b) {
    const unsigned char byte = static_cast<unsigned char>(b);
    const char16_t unit = b == 0 ? u'\0' : ConvertOne(cd, &byte, 1);
    if (b == 0 || unit != 0) {
      toWide[b] = unit;
      if (fromWide[unit] == 0) fromWide[unit] = static_cast<uint16_t>(b);
    }
  }
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    if (toWide[lead] != 0) continue;
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      const unsigned char pair[2] = {static_cast<unsigned char>(lead),
                                     static_cast<unsigned char>(trail)};
      const char16_t unit = ConvertOne(cd, pair, 2);
      if (unit == 0) continue;
      leadByte[lead] = true;
      doubleToWide[((lead - 0x80) << 8) | trail] = unit;
      if (fromWide[unit] == 0) fromWide[unit] = static_cast<uint16_t>((lead << 8) | trail);
    }
  }
  iconv_close(cd);
}

const CodePageTable& AnsiTable() {
  // Any thread may convert text until the process ends, so the table is never destroyed.
  static const ProcessLifetime<CodePageTable> table(AnsiBasics().codePage);
  return table.get();
}

const AnsiCodePageBasics& AnsiBasics() {
  static const AnsiCodePageBasics basics = [] {
    AnsiCodePageBasics made;
    made.codePage = ReadAnsiCodePage();
    // Every code page Windows can take as the ANSI code page keeps ASCII in its lower half; only
    // another setting (an EBCDIC page, say) is asked of iconv, whose first use in a process loads
    // its conversion modules and costs more than loading the library.
    if (IsWindowsAnsiCodePage(made.codePage)) {
      made.asciiSame = true;
      return made;
    }
    // The same code page (and the same fallback) as the full table.
    const std::string name = "CP" + std::to_string(made.codePage);
    iconv_t cd = iconv_open("UTF-16LE", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("UTF-16LE", "CP950");
    if (cd == reinterpret_cast<iconv_t>(-1)) return made;
    made.asciiSame = true;
    for (unsigned b = 1; b < 0x80 && made.asciiSame; ++b) {
      const unsigned char byte = static_cast<unsigned char>(b);
      made.asciiSame = ConvertOne(cd, &byte, 1) == static_cast<char16_t>(b);
    }
    iconv_close(cd);
    return made;
  }();
  return basics;
}

}  // namespace zyq::platform::posix
