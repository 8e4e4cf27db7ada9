// Upper-case hex encoding, a member of ByteBuffer: two digits per byte, most significant first.
#include <cstring>

#include "codec/ByteBuffer.h"

namespace zyq {
namespace {

struct HexTable {
  char digits[256][2];
};
constexpr HexTable MakeHexTable() {
  constexpr char kDigits[] = "0123456789ABCDEF";
  HexTable table{};
  for (unsigned v = 0; v < 256; ++v) {
    table.digits[v][0] = kDigits[v >> 4];
    table.digits[v][1] = kDigits[v & 15];
  }
  return table;
}
constexpr HexTable kHex = MakeHexTable();

}  // namespace

bool ByteBuffer::EncodeHex(const void* src, int n) {
  unsigned char* out = nullptr;
  if (src == nullptr || n <= 0 || n > (INT32_MAX - 2) / 2 ||
      (out = ResetForWrite(2 * n)) == nullptr) {
    Release();
    return false;
  }
  const auto* in = static_cast<const unsigned char*>(src);
  for (int i = 0; i < n; ++i) std::memcpy(out + 2 * i, kHex.digits[in[i]], 2);
  return true;
}

}  // namespace zyq
