#include "codec/Sha256Digest.h"

#include <bit>

#include "codec/CpuDispatch.h"
#include "codec/DigestCompress.h"
#include "codec/Sha256Constants.h"

namespace zyq {
namespace codec {

#define ZYQ_S256_BIG0(x) (std::rotr(x, 2) ^ std::rotr(x, 13) ^ std::rotr(x, 22))
#define ZYQ_S256_BIG1(x) (std::rotr(x, 6) ^ std::rotr(x, 11) ^ std::rotr(x, 25))
#define ZYQ_S256_SMALL0(x) (std::rotr(x, 7) ^ std::rotr(x, 18) ^ ((x) >> 3))
#define ZYQ_S256_SMALL1(x) (std::rotr(x, 17) ^ std::rotr(x, 19) ^ ((x) >> 10))
// Schedule word i (16 <= i < 64) in place of word i - 16.
#define ZYQ_S256_W(i) \
  (w[(i)&15] +=       \
   ZYQ_S256_SMALL1(w[((i) + 14) & 15]) + w[((i) + 9) & 15] + ZYQ_S256_SMALL0(w[((i) + 1) & 15]))
// One round with the variables renamed: d and h receive the new e and a.
#define ZYQ_S256_ROUND(a, b, c, d, e, f, g, h, i, word)                                         \
  {                                                                                             \
    const std::uint32_t t1 = h + ZYQ_S256_BIG1(e) + (g ^ (e & (f ^ g))) + kSha256K[i] + (word); \
    d += t1;                                                                                    \
    h = t1 + ZYQ_S256_BIG0(a) + ((a & b) ^ (c & (a ^ b)));                                      \
  }
#define ZYQ_S256_EIGHT(i, W)                              \
  ZYQ_S256_ROUND(a, b, c, d, e, f, g, h, i, W(i))         \
  ZYQ_S256_ROUND(h, a, b, c, d, e, f, g, i + 1, W(i + 1)) \
  ZYQ_S256_ROUND(g, h, a, b, c, d, e, f, i + 2, W(i + 2)) \
  ZYQ_S256_ROUND(f, g, h, a, b, c, d, e, i + 3, W(i + 3)) \
  ZYQ_S256_ROUND(e, f, g, h, a, b, c, d, i + 4, W(i + 4)) \
  ZYQ_S256_ROUND(d, e, f, g, h, a, b, c, i + 5, W(i + 5)) \
  ZYQ_S256_ROUND(c, d, e, f, g, h, a, b, i + 6, W(i + 6)) \
  ZYQ_S256_ROUND(b, c, d, e, f, g, h, a, i + 7, W(i + 7))
#define ZYQ_S256_LOADED(i) w[i]

void Sha256CompressPortable(std::uint32_t state[8], const unsigned char* blocks,
                            std::size_t count) {
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
  for (; count > 0; --count, blocks += 64) {
    std::uint32_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = LoadBig32(blocks + 4 * i);
    ZYQ_S256_EIGHT(0, ZYQ_S256_LOADED)
    ZYQ_S256_EIGHT(8, ZYQ_S256_LOADED)
    ZYQ_S256_EIGHT(16, ZYQ_S256_W)
    ZYQ_S256_EIGHT(24, ZYQ_S256_W)
    ZYQ_S256_EIGHT(32, ZYQ_S256_W)
    ZYQ_S256_EIGHT(40, ZYQ_S256_W)
    ZYQ_S256_EIGHT(48, ZYQ_S256_W)
    ZYQ_S256_EIGHT(56, ZYQ_S256_W)
    a = state[0] += a;
    b = state[1] += b;
    c = state[2] += c;
    d = state[3] += d;
    e = state[4] += e;
    f = state[5] += f;
    g = state[6] += g;
    h = state[7] += h;
  }
}

#undef ZYQ_S256_LOADED
#undef ZYQ_S256_EIGHT
#undef ZYQ_S256_ROUND
#undef ZYQ_S256_W
#undef ZYQ_S256_SMALL1
#undef ZYQ_S256_SMALL0
#undef ZYQ_S256_BIG1
#undef ZYQ_S256_BIG0

void Sha256Compress(std::uint32_t state[8], const unsigned char* blocks, std::size_t count) {
  if (UseShaExtensions()) {
    Sha256CompressShaExtensions(state, blocks, count);
  } else {
    Sha256CompressPortable(state, blocks, count);
  }
}

}  // namespace codec
}  // namespace zyq
