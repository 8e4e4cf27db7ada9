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

// The table of the process's ANSI code page. Building it converts every byte pair of the code
// page, so text that needs only the single bytes asks AnsiBytes first.
const CodePageTable& AnsiTable();

// The ANSI code page and whether its bytes 0x01 to 0x7F are the ASCII characters, each a
// character of its own: such bytes (and such UTF-16 units) then convert to one another
// unchanged, without the full table. Cheap to build (the single bytes only).
struct AnsiCodePageBasics {
  unsigned codePage = 0;
  bool asciiSame = false;
};
const AnsiCodePageBasics& AnsiBasics();

}  // namespace zyq::platform::posix
