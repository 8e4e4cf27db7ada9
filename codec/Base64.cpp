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

#include "codec/ByteBuffer.h"

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

// Finds the Base64 body of text. Without "----" anywhere the body is the whole text. Otherwise
// the text begins with an armour line (dashes, a label, dashes): the body starts after the
// dashes that close the label and the line breaks that follow, and ends before the next "----".
// False when an armour line has no closing one.
bool FindBody(std::string_view text, std::string_view* body) {
  if (text.find(kArmour) == std::string_view::npos) {
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

}  // namespace

bool ByteBuffer::EncodeBase64(const void* src, int n) {
  Release();
  if (src == nullptr || n <= 0) return false;
  const std::int64_t outLength = (static_cast<std::int64_t>(n) + 2) / 3 * 4;
  if (outLength > INT32_MAX - 2) return false;
  unsigned char* out = ResetForWrite(static_cast<int>(outLength));
  if (out == nullptr) return false;

  const auto* in = static_cast<const unsigned char*>(src);
  const auto* const whole = in + (static_cast<std::size_t>(n) / 3) * 3;
  // Four groups (12 bytes in, 16 characters out) per step while they last.
  while (whole - in >= 12) {
    for (int g = 0; g < 4; ++g) {
      const std::uint32_t v = (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
      std::memcpy(out, kPairs.pairs[v >> 12], 2);
      std::memcpy(out + 2, kPairs.pairs[v & 0xFFF], 2);
      in += 3;
      out += 4;
    }
  }
  while (in < whole) {
    const std::uint32_t v = (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
    std::memcpy(out, kPairs.pairs[v >> 12], 2);
    std::memcpy(out + 2, kPairs.pairs[v & 0xFFF], 2);
    in += 3;
    out += 4;
  }
  const int rest = n % 3;
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
  Release();
  if (text == nullptr || *text == '\0') return false;
  std::string_view body;
  if (!FindBody(text, &body) || body.empty()) return false;

  // Every group takes at least one character and gives at most three bytes.
  const std::int64_t maxOut = (static_cast<std::int64_t>(body.size()) + 3) / 4 * 3;
  if (maxOut > INT32_MAX - 2) return false;
  unsigned char* const start = ResetForWrite(static_cast<int>(maxOut));
  if (start == nullptr) return false;
  unsigned char* out = start;

  const auto* p = reinterpret_cast<const unsigned char*>(body.data());
  const auto* const end = p + body.size();
  for (;;) {
    // Groups of four alphabet characters, the bulk of any real text.
    while (end - p >= 4) {
      const unsigned a = kValues[p[0]], b = kValues[p[1]], c = kValues[p[2]], d = kValues[p[3]];
      if (((a | b | c | d) & 0xC0) != 0) break;
      const std::uint32_t v = (a << 18) | (b << 12) | (c << 6) | d;
      out[0] = static_cast<unsigned char>(v >> 16);
      out[1] = static_cast<unsigned char>(v >> 8);
      out[2] = static_cast<unsigned char>(v);
      out += 3;
      p += 4;
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
