#include "codec/Sha512Digest.h"

#include <bit>

#include "codec/CpuDispatch.h"
#include "codec/DigestCompress.h"
#include "codec/Sha512Constants.h"

namespace zyq {
namespace codec {

#define ZYQ_S512_BIG0(x) (std::rotr(x, 28) ^ std::rotr(x, 34) ^ std::rotr(x, 39))
#define ZYQ_S512_BIG1(x) (std::rotr(x, 14) ^ std::rotr(x, 18) ^ std::rotr(x, 41))
#define ZYQ_S512_SMALL0(x) (std::rotr(x, 1) ^ std::rotr(x, 8) ^ ((x) >> 7))
#define ZYQ_S512_SMALL1(x) (std::rotr(x, 19) ^ std::rotr(x, 61) ^ ((x) >> 6))
// Schedule word i (16 <= i < 80) in place of word i - 16.
#define ZYQ_S512_W(i) \
  (w[(i)&15] +=       \
   ZYQ_S512_SMALL1(w[((i) + 14) & 15]) + w[((i) + 9) & 15] + ZYQ_S512_SMALL0(w[((i) + 1) & 15]))
#define ZYQ_S512_LOADED(i) w[i]
// One round with the variables renamed: d and h receive the new e and a.
#define ZYQ_S512_ROUND(a, b, c, d, e, f, g, h, i, word)                                         \
  {                                                                                             \
    const std::uint64_t t1 = h + ZYQ_S512_BIG1(e) + (g ^ (e & (f ^ g))) + kSha512K[i] + (word); \
    d += t1;                                                                                    \
    h = t1 + ZYQ_S512_BIG0(a) + ((a & b) ^ (c & (a ^ b)));                                      \
  }
#define ZYQ_S512_EIGHT(i, W)                              \
  ZYQ_S512_ROUND(a, b, c, d, e, f, g, h, i, W(i))         \
  ZYQ_S512_ROUND(h, a, b, c, d, e, f, g, i + 1, W(i + 1)) \
  ZYQ_S512_ROUND(g, h, a, b, c, d, e, f, i + 2, W(i + 2)) \
  ZYQ_S512_ROUND(f, g, h, a, b, c, d, e, i + 3, W(i + 3)) \
  ZYQ_S512_ROUND(e, f, g, h, a, b, c, d, i + 4, W(i + 4)) \
  ZYQ_S512_ROUND(d, e, f, g, h, a, b, c, i + 5, W(i + 5)) \
  ZYQ_S512_ROUND(c, d, e, f, g, h, a, b, i + 6, W(i + 6)) \
  ZYQ_S512_ROUND(b, c, d, e, f, g, h, a, i + 7, W(i + 7))

void Sha512CompressPortable(std::uint64_t state[8], const unsigned char* blocks,
                            std::size_t count) {
  std::uint64_t a = state[0], b = state[1], c = state[2], d = state[3];
  std::uint64_t e = state[4], f = state[5], g = state[6], h = state[7];
  for (; count > 0; --count, blocks += 128) {
    std::uint64_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = LoadBig64(blocks + 8 * i);
    ZYQ_S512_EIGHT(0, ZYQ_S512_LOADED)
    ZYQ_S512_EIGHT(8, ZYQ_S512_LOADED)
    ZYQ_S512_EIGHT(16, ZYQ_S512_W)
    ZYQ_S512_EIGHT(24, ZYQ_S512_W)
    ZYQ_S512_EIGHT(32, ZYQ_S512_W)
    ZYQ_S512_EIGHT(40, ZYQ_S512_W)
    ZYQ_S512_EIGHT(48, ZYQ_S512_W)
    ZYQ_S512_EIGHT(56, ZYQ_S512_W)
    ZYQ_S512_EIGHT(64, ZYQ_S512_W)
    ZYQ_S512_EIGHT(72, ZYQ_S512_W)
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

#undef ZYQ_S512_EIGHT
#undef ZYQ_S512_ROUND
#undef ZYQ_S512_LOADED
#undef ZYQ_S512_W
#undef ZYQ_S512_SMALL1
#undef ZYQ_S512_SMALL0
#undef ZYQ_S512_BIG1
#undef ZYQ_S512_BIG0

void Sha512Compress(std::uint64_t state[8], const unsigned char* blocks, std::size_t count) {
  if (UseAvx2Bmi2()) {
    Sha512CompressAvx2(state, blocks, count);
  } else {
    Sha512CompressPortable(state, blocks, count);
  }
}

}  // namespace codec
}  // namespace zyq
