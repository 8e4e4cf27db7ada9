#include "codec/Sha1Digest.h"

#include <bit>

#include "codec/CpuDispatch.h"
#include "codec/DigestCompress.h"

namespace zyq {
namespace codec {

// One round with the variables renamed instead of moved: after it, v..z play the roles of
// the next round's b..a. W holds the last 16 schedule words.
#define ZYQ_SHA1_W(i) \
  (w[(i)&15] = std::rotl(w[((i) + 13) & 15] ^ w[((i) + 8) & 15] ^ w[((i) + 2) & 15] ^ w[(i)&15], 1))
#define ZYQ_SHA1_R0(v, x, y, z, u, i)                              \
  u += ((x & (y ^ z)) ^ z) + w[i] + 0x5a827999u + std::rotl(v, 5); \
  x = std::rotl(x, 30)
#define ZYQ_SHA1_R1(v, x, y, z, u, i)                                       \
  u += ((x & (y ^ z)) ^ z) + ZYQ_SHA1_W(i) + 0x5a827999u + std::rotl(v, 5); \
  x = std::rotl(x, 30)
#define ZYQ_SHA1_R2(v, x, y, z, u, i)                               \
  u += (x ^ y ^ z) + ZYQ_SHA1_W(i) + 0x6ed9eba1u + std::rotl(v, 5); \
  x = std::rotl(x, 30)
#define ZYQ_SHA1_R3(v, x, y, z, u, i)                                             \
  u += (((x | y) & z) | (x & y)) + ZYQ_SHA1_W(i) + 0x8f1bbcdcu + std::rotl(v, 5); \
  x = std::rotl(x, 30)
#define ZYQ_SHA1_R4(v, x, y, z, u, i)                               \
  u += (x ^ y ^ z) + ZYQ_SHA1_W(i) + 0xca62c1d6u + std::rotl(v, 5); \
  x = std::rotl(x, 30)
// Five rounds bring the variables back to their places.
#define ZYQ_SHA1_FIVE(R, i) \
  R(a, b, c, d, e, i);      \
  R(e, a, b, c, d, i + 1);  \
  R(d, e, a, b, c, i + 2);  \
  R(c, d, e, a, b, i + 3);  \
  R(b, c, d, e, a, i + 4)

void Sha1CompressPortable(std::uint32_t state[5], const unsigned char* blocks, std::size_t count) {
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  for (; count > 0; --count, blocks += 64) {
    std::uint32_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = LoadBig32(blocks + 4 * i);
    const std::uint32_t a0 = a, b0 = b, c0 = c, d0 = d, e0 = e;
    ZYQ_SHA1_FIVE(ZYQ_SHA1_R0, 0);
    ZYQ_SHA1_FIVE(ZYQ_SHA1_R0, 5);
    ZYQ_SHA1_FIVE(ZYQ_SHA1_R0, 10);
    ZYQ_SHA1_R0(a, b, c, d, e, 15);
    ZYQ_SHA1_R1(e, a, b, c, d, 16);
    ZYQ_SHA1_R1(d, e, a, b, c, 17);
    ZYQ_SHA1_R1(c, d, e, a, b, 18);
    ZYQ_SHA1_R1(b, c, d, e, a, 19);
    ZYQ_SHA1_FIVE(ZYQ_SHA1_R2, 20);
    ZYQ_SHA1_FIVE(ZYQ_SHA1_R2, 25);
    ZYQ_SHA1_FIVE(ZYQ_SHA1_R2, 30);
    ZYQ_SHA1_FIVE(ZYQ_SHA1_R2, 35);
    ZYQ_SHA1_FIVE(ZYQ_SHA1_R3, 40);
    ZYQ_SHA1_FIVE(ZYQ_SHA1_R3, 45);
    ZYQ_SHA1_FIVE(ZYQ_SHA1_R3, 50);
    ZYQ_SHA1_FIVE(ZYQ_SHA1_R3, 55);
    ZYQ_SHA1_FIVE(ZYQ_SHA1_R4, 60);
    ZYQ_SHA1_FIVE(ZYQ_SHA1_R4, 65);
    ZYQ_SHA1_FIVE(ZYQ_SHA1_R4, 70);
    ZYQ_SHA1_FIVE(ZYQ_SHA1_R4, 75);
    a += a0;
    b += b0;
    c += c0;
    d += d0;
    e += e0;
  }
  state[0] = a;
  state[1] = b;
  state[2] = c;
  state[3] = d;
  state[4] = e;
}

#undef ZYQ_SHA1_FIVE
#undef ZYQ_SHA1_R4
#undef ZYQ_SHA1_R3
#undef ZYQ_SHA1_R2
#undef ZYQ_SHA1_R1
#undef ZYQ_SHA1_R0
#undef ZYQ_SHA1_W

void Sha1Compress(std::uint32_t state[5], const unsigned char* blocks, std::size_t count) {
  if (UseShaExtensions()) {
    Sha1CompressShaExtensions(state, blocks, count);
  } else {
    Sha1CompressPortable(state, blocks, count);
  }
}

}  // namespace codec
}  // namespace zyq
