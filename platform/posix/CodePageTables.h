// Lookup tables of one Windows code page (single- and double-byte) for fast conversion.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace zyq::platform::posix {

struct CodePageTable {
  explicit CodePageTable(unsigned codePage);

  unsigned codePage;
  std::array<char16_t, 256> toWide;    // single bytes; 0 = not a character of its own
  std::array<bool, 256> leadByte;      // lead bytes of double-byte characters
  std::vector<char16_t> doubleToWide;  // index ((lead - 0x80) << 8) | trail; 0 = invalid
  std::vector<uint16_t> fromWide;      // UTF-16 unit -> byte or (lead << 8 | trail); 0 = none
};

// The table of the process's ANSI code page.
const CodePageTable& AnsiTable();

}  // namespace zyq::platform::posix
