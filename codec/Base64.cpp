// Base64 encoding and decoding, members of ByteBuffer.
//
// One 65-character table serves both directions: the 64 characters of the standard alphabet
// (values 0-63) and '=' at index 64, the padding value. The decoder does not reject characters
// outside the table; they take the value 65 (the table's length) and enter the arithmetic like
// any other value. Both directions are table-driven and write into storage obtained once.
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "codec/Base64Runs.h"
#include "codec/ByteBuffer.h"
#include "codec/ByteOrder.h"

namespace zyq {
namespace {

constexpr char kTable[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
constexpr unsigned kPad = 64;          // index of '='
constexpr unsigned kForeign = 65;      // value of a character outside the table
constexpr unsigned char kSkip = 0x80;  // CR, LF and space between characters
constexpr std::string_view kArmour = "----";

// The two characters for each 12-bit value: the encoder emits one pair per 12 input bits.
struct PairTable {
  char pairs[4096][2];
};
constexpr PairTable MakePairTable() {
  PairTable table{};
  for (unsigned v = 0; v < 4096; ++v) {
    table.pairs[v][0] = kTable[v >> 6];
    table.pairs[v][1] = kTable[v & 63];
  }
  return table;
}
constexpr PairTable kPairs = MakePairTable();

// The value of each character: 0-63 for the alphabet, 64 for '=', 65 for anything else, and
// kSkip for the characters that the decoder passes over.
constexpr std::array<unsigned char, 256> MakeDecodeTable() {
  std::array<unsigned char, 256> table{};
  for (auto& v : table) v = kForeign;
  for (unsigned i = 0; i < 65; ++i) table[static_cast<unsigned char>(kTable[i])] = i;
  table['\r'] = kSkip;
  table['\n'] = kSkip;
  table[' '] = kSkip;
  return table;
}
constexpr std::array<unsigned char, 256> kValues = MakeDecodeTable();

// For the fast path: the value of an alphabet character already shifted to its place in the
// 24 bits of a group (slot k: 18 - 6k), and kNotAlphabet for every other character, so that the
// OR of four lookups is the group's 24 bits, or has kNotAlphabet set.
constexpr std::uint32_t kNotAlphabet = 0x01000000;
using ShiftedTables = std::array<std::array<std::uint32_t, 256>, 4>;
constexpr ShiftedTables MakeShiftedTables() {
  ShiftedTables tables{};
  for (int k = 0; k < 4; ++k) {
    for (int c = 0; c < 256; ++c) {
      const unsigned v = kValues[c];
      tables[k][c] = v < 64 ? v << (18 - 6 * k) : kNotAlphabet;
    }
  }
  return tables;
}
alignas(64) constexpr ShiftedTables kShifted = MakeShiftedTables();

// Finds the Base64 body of text. Without "----" anywhere the body is the whole text. Otherwise
// the text begins with an armour line (dashes, a label, dashes): the body starts after the
// dashes that close the label and the line breaks that follow, and ends before the next "----".
// False when an armour line has no closing one.
bool FindBody(std::string_view text, std::string_view* body) {
  // Base64 text has no '-' at all; memchr settles that case at memory speed.
  if (std::memchr(text.data(), '-', text.size()) == nullptr ||
      text.find(kArmour) == std::string_view::npos) {
    *body = text;
    return true;
  }
  std::size_t pos = text.find_first_not_of('-');
  if (pos == std::string_view::npos) return false;  // nothing but dashes
  pos = text.find(kArmour, pos);
  if (pos == std::string_view::npos) return false;
  pos = text.find_first_not_of("-\r\n", pos);
  if (pos == std::string_view::npos) return false;
  const std::size_t end = text.find(kArmour, pos);
  if (end == std::string_view::npos) return false;
  *body = text.substr(pos, end - pos);
  return true;
}

// FindBody of a NUL-terminated text. With the C library's strchrnul one pass finds both the end
// of the text and whether it has a '-' at all (short texts then pay for one pass, not two).
bool FindBody(const char* text, std::string_view* body) {
#if defined(__GLIBC__)
  const char* stop = ::strchrnul(text, '-');
  if (*stop == '\0') {
    *body = std::string_view(text, static_cast<std::size_t>(stop - text));
    return true;
  }
#endif
  return FindBody(std::string_view(text), body);
}

}  // namespace

bool ByteBuffer::EncodeBase64(const void* src, int n) {
  const std::int64_t outLength = (static_cast<std::int64_t>(n) + 2) / 3 * 4;
  unsigned char* out = nullptr;
  if (src == nullptr || n <= 0 || outLength > INT32_MAX - 2 ||
      (out = ResetForWrite(static_cast<int>(outLength))) == nullptr) {
    Release();
    return false;
  }

  const auto* in = static_cast<const unsigned char*>(src);
  const auto* const end = in + n;
  // Six bytes in, eight characters out per step, reading eight bytes at a time while they last.
  while (end - in >= 8) {
    const std::uint64_t v = codec::LoadBig64(in);
    std::uint16_t p[4];
    std::memcpy(&p[0], kPairs.pairs[(v >> 52) & 0xFFF], 2);
    std::memcpy(&p[1], kPairs.pairs[(v >> 40) & 0xFFF], 2);
    std::memcpy(&p[2], kPairs.pairs[(v >> 28) & 0xFFF], 2);
    std::memcpy(&p[3], kPairs.pairs[(v >> 16) & 0xFFF], 2);
    std::memcpy(out, p, 8);
    in += 6;
    out += 8;
  }
  while (end - in >= 3) {
    const std::uint32_t v = (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
    std::memcpy(out, kPairs.pairs[v >> 12], 2);
    std::memcpy(out + 2, kPairs.pairs[v & 0xFFF], 2);
    in += 3;
    out += 4;
  }
  const auto rest = end - in;
  if (rest != 0) {
    const std::uint32_t b0 = in[0];
    const std::uint32_t b1 = rest == 2 ? in[1] : 0;
    const std::uint32_t v = (b0 << 16) | (b1 << 8);
    out[0] = static_cast<unsigned char>(kTable[v >> 18]);
    out[1] = static_cast<unsigned char>(kTable[(v >> 12) & 63]);
    out[2] = static_cast<unsigned char>(rest == 2 ? kTable[(v >> 6) & 63] : '=');
    out[3] = '=';
  }
  return true;
}

bool ByteBuffer::DecodeBase64(const char* text) {
  std::string_view body;
  if (text == nullptr || *text == '\0' || !FindBody(text, &body) || body.empty()) {
    Release();
    return false;
  }
  // Every group takes at least one character and gives at most three bytes.
  const std::int64_t maxOut = (static_cast<std::int64_t>(body.size()) + 3) / 4 * 3;
  unsigned char* start = nullptr;
  if (maxOut > INT32_MAX - 2 || (start = ResetForWrite(static_cast<int>(maxOut))) == nullptr) {
    Release();
    return false;
  }
  // The fast loop stores eight bytes to give six: storage has maxOut + 2 bytes, so a store that
  // begins at most six bytes before maxOut stays inside it.
  const std::int64_t fastLimit = maxOut - 6;
  unsigned char* out = start;

  const auto* p = reinterpret_cast<const unsigned char*>(body.data());
  const auto* const end = p + body.size();
  for (;;) {
    // Thirty-two at a time where the processor can, then eight at a time: the bulk of any real
    // text.
    if (end - p >= 32) codec::DecodeBase64Runs(&p, end, &out, start + maxOut + 2);
    while (end - p >= 8 && out - start <= fastLimit) {
      const std::uint32_t x =
          kShifted[0][p[0]] | kShifted[1][p[1]] | kShifted[2][p[2]] | kShifted[3][p[3]];
      const std::uint32_t y =
          kShifted[0][p[4]] | kShifted[1][p[5]] | kShifted[2][p[6]] | kShifted[3][p[7]];
      if (((x | y) & kNotAlphabet) != 0) break;
      codec::StoreBig64(out, (std::uint64_t{x} << 40) | (std::uint64_t{y} << 16));
      out += 6;
      p += 8;
    }
    // Then one group of four alphabet characters, if that is what comes next; its four-byte store
    // ends at most at maxOut + 2.
    if (end - p >= 4 && out - start <= fastLimit + 4) {
      const std::uint32_t x =
          kShifted[0][p[0]] | kShifted[1][p[1]] | kShifted[2][p[2]] | kShifted[3][p[3]];
      if ((x & kNotAlphabet) == 0) {
        codec::StoreBig32(out, x << 8);
        out += 3;
        p += 4;
        continue;
      }
      // The usual padded groups, "AB==" and "ABC=", as the general walk decodes them.
      if (p[3] == '=') {
        const std::uint32_t ab = kShifted[0][p[0]] | kShifted[1][p[1]];
        const std::uint32_t abc = ab | kShifted[2][p[2]];
        if ((abc & kNotAlphabet) == 0) {
          codec::StoreBig32(out, abc << 8);
          out += 2;
          p += 4;
          continue;
        }
        if (p[2] == '=' && (ab & kNotAlphabet) == 0) {
          codec::StoreBig32(out, ab << 8);
          out += 1;
          p += 4;
          continue;
        }
      }
    }
    // Any other group: skipped characters, padding, foreign characters, or the end of the body.
    unsigned slot[4];
    bool ended = false;
    for (int k = 0; k < 4; ++k) {
      while (p < end && kValues[*p] == kSkip) ++p;
      if (p == end) {
        if (k == 0) ended = true;
        slot[k] = kPad;
      } else {
        slot[k] = kValues[*p++];
      }
    }
    if (ended) break;
    const unsigned a = slot[0], b = slot[1], c = slot[2], d = slot[3];
    *out++ = static_cast<unsigned char>(((a & 63) << 2) | ((b >> 4) & 3));
    if (c != kPad) {
      *out++ = static_cast<unsigned char>(((b & 15) << 4) | ((c >> 2) & 15));
      if (d != kPad) *out++ = static_cast<unsigned char>(((c & 3) << 6) | (d & 63));
    }
  }
  Truncate(static_cast<int>(out - start));
  return true;
}

}  // namespace zyq
