// DES as the standard defines it, built for speed in the usual way: the S-boxes are merged
// with the P permutation into eight tables of 64 words, the expansion E is done by two
// rotations of the right half, and the initial and final permutations by five masked swaps
// each. All tables are computed at compile time from the standard's own tables.
#include "codec/DesCore.h"

#include <array>
#include <bit>
#include <cstring>

#include "codec/ByteOrder.h"

namespace zyq::codec {
namespace {

// The standard's tables; bit positions count from 1 at the most significant bit.
constexpr int kIp[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
                         62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
                         57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
                         61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};
constexpr int kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                        2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};
constexpr int kPc1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                          10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                          63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                          14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
constexpr int kPc2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                          26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                          51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr int kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};
constexpr unsigned char kS[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4, 9,  7,  2, 13, 12, 0,  5,  10, 3,  13, 4,  7, 15, 2,
     8,  14, 12, 0,  1,  10, 6,  9, 11, 5,  0, 14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,
     9,  3,  2,  15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0,  8,  13, 3, 12, 9,  7, 5,  10, 6,  1,  13, 0,  11, 7,  4, 9,
     1, 10, 14, 3,  5,  12, 2,  15, 8, 6,  1,  4, 11, 13, 12, 3,  7,  14, 10, 15, 6, 8,
     0, 5,  9,  2,  6,  11, 13, 8,  1, 4,  10, 7, 9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2, 8,  4, 6, 15, 11, 1,  10, 9,  3, 14, 5,  0,  12, 7,  1,  15, 13, 8, 10, 3,
     7,  4, 12, 5, 6, 11, 0,  14, 9,  2,  7, 11, 4,  1,  9,  12, 14, 2,  0,  6, 10, 13,
     15, 3, 5,  8, 2, 1,  14, 7,  4,  10, 8, 13, 15, 12, 9,  0,  3,  5,  6,  11}};

// SP[i][v]: S-box i + 1 applied to the 6-bit piece v, placed in its four bits of the round
// function's output and sent through P.
using SpTables = std::array<std::array<std::uint32_t, 64>, 8>;
constexpr SpTables MakeSpTables() {
  SpTables sp{};
  for (int i = 0; i < 8; ++i) {
    for (int v = 0; v < 64; ++v) {
      const int row = ((v >> 4) & 2) | (v & 1);
      const int column = (v >> 1) & 15;
      const std::uint32_t beforeP = std::uint32_t{kS[i][row * 16 + column]} << (28 - 4 * i);
      std::uint32_t afterP = 0;
      for (int j = 0; j < 32; ++j) {
        if ((beforeP >> (32 - kP[j])) & 1) afterP |= std::uint32_t{1} << (31 - j);
      }
      sp[i][v] = afterP;
    }
  }
  return sp;
}
alignas(64) constexpr SpTables kSp = MakeSpTables();

// PC2 in pieces: each table maps 7 bits of C (tables 0-3) or of D (tables 4-7) to their share
// of the round key, already packed as odd | even << 32 (see DesKeySchedule).
using Pc2Tables = std::array<std::array<std::uint64_t, 128>, 8>;
constexpr std::uint64_t PackRoundKey(const int pieces[8]) {
  // Pieces of S-boxes 1, 7, 5, 3 go to bytes 0-3 of odd; 2, 8, 6, 4 to bytes 0-3 of even.
  const std::uint64_t odd = std::uint64_t(pieces[0]) | std::uint64_t(pieces[6]) << 8 |
                            std::uint64_t(pieces[4]) << 16 | std::uint64_t(pieces[2]) << 24;
  const std::uint64_t even = std::uint64_t(pieces[1]) | std::uint64_t(pieces[7]) << 8 |
                             std::uint64_t(pieces[5]) << 16 | std::uint64_t(pieces[3]) << 24;
  return odd | even << 32;
}
constexpr Pc2Tables MakePc2Tables() {
  Pc2Tables tables{};
  for (int t = 0; t < 8; ++t) {
    for (int v = 0; v < 128; ++v) {
      // Bits 7t+1 .. 7t+7 of the 56-bit C||D take the bits of v, most significant first.
      int pieces[8] = {};
      for (int j = 0; j < 48; ++j) {
        const int source = kPc2[j];  // 1..56
        if (source < 7 * t + 1 || source > 7 * t + 7) continue;
        if ((v >> (7 * t + 7 - source)) & 1) pieces[j / 6] |= 1 << (5 - j % 6);
      }
      tables[t][v] = PackRoundKey(pieces);
    }
  }
  return tables;
}
constexpr Pc2Tables kPc2Tables = MakePc2Tables();

// Delta swap: exchanges the bits of b selected by mask with those of a selected by mask << n.
constexpr void SwapBits(std::uint32_t& a, std::uint32_t& b, int n, std::uint32_t mask) {
  const std::uint32_t t = ((a >> n) ^ b) & mask;
  b ^= t;
  a ^= t << n;
}

constexpr void InitialPermutation(std::uint32_t& l, std::uint32_t& r) {
  SwapBits(l, r, 4, 0x0f0f0f0f);
  SwapBits(l, r, 16, 0x0000ffff);
  SwapBits(r, l, 2, 0x33333333);
  SwapBits(r, l, 8, 0x00ff00ff);
  SwapBits(l, r, 1, 0x55555555);
}

// The inverse: the same swaps in reverse order.
constexpr void FinalPermutation(std::uint32_t& l, std::uint32_t& r) {
  SwapBits(l, r, 1, 0x55555555);
  SwapBits(r, l, 8, 0x00ff00ff);
  SwapBits(r, l, 2, 0x33333333);
  SwapBits(l, r, 16, 0x0000ffff);
  SwapBits(l, r, 4, 0x0f0f0f0f);
}

// The swaps must give the standard's IP: both are bit permutations, so agreeing on every
// single-bit block proves them equal.
constexpr std::uint64_t InitialPermutationByTable(std::uint64_t x) {
  std::uint64_t out = 0;
  for (int i = 0; i < 64; ++i) {
    if ((x >> (64 - kIp[i])) & 1) out |= std::uint64_t{1} << (63 - i);
  }
  return out;
}
constexpr bool SwapsMatchTables() {
  for (int bit = 0; bit < 64; ++bit) {
    const std::uint64_t x = std::uint64_t{1} << bit;
    std::uint32_t l = static_cast<std::uint32_t>(x >> 32), r = static_cast<std::uint32_t>(x);
    InitialPermutation(l, r);
    const std::uint64_t permuted = std::uint64_t{l} << 32 | r;
    if (permuted != InitialPermutationByTable(x)) return false;
    FinalPermutation(l, r);
    if ((std::uint64_t{l} << 32 | r) != x) return false;
  }
  return true;
}
static_assert(SwapsMatchTables(), "IP and FP swaps disagree with the standard's table");

// The round function on the right half r with round key (odd, even): the 6-bit pieces of the
// expansion of r are bytes of r rotated left by 5 (S-boxes 1, 7, 5, 3) and by 9 (2, 8, 6, 4).
inline std::uint32_t RoundFunction(std::uint32_t r, std::uint32_t odd, std::uint32_t even) {
  const std::uint32_t x = std::rotl(r, 5) ^ odd;
  const std::uint32_t y = std::rotl(r, 9) ^ even;
  return kSp[0][x & 63] ^ kSp[6][(x >> 8) & 63] ^ kSp[4][(x >> 16) & 63] ^ kSp[2][(x >> 24) & 63] ^
         kSp[1][y & 63] ^ kSp[7][(y >> 8) & 63] ^ kSp[5][(y >> 16) & 63] ^ kSp[3][(y >> 24) & 63];
}

// Sixteen rounds; the halves come out exchanged, as the standard's last step leaves them.
inline void Rounds(const DesKeySchedule& ks, std::uint32_t& l, std::uint32_t& r) {
  for (int i = 0; i < 16; i += 2) {
    l ^= RoundFunction(r, ks.odd[i], ks.even[i]);
    r ^= RoundFunction(l, ks.odd[i + 1], ks.even[i + 1]);
  }
  const std::uint32_t t = l;
  l = r;
  r = t;
}

// One block through every stage; the FP of one stage and the IP of the next cancel out.
inline void Cipher(const DesKeySchedule* schedules, int stages, std::uint32_t& l,
                   std::uint32_t& r) {
  InitialPermutation(l, r);
  Rounds(schedules[0], l, r);
  if (stages == 3) {
    Rounds(schedules[1], l, r);
    Rounds(schedules[2], l, r);
  }
  FinalPermutation(l, r);
}

}  // namespace

void DesMakeSchedule(const unsigned char key[8], bool reverse, DesKeySchedule* schedule) {
  // PC1: C is bits 1-28 of the result, D bits 29-56.
  std::uint64_t bits = LoadBig64(key);
  std::uint32_t c = 0, d = 0;
  for (int i = 0; i < 28; ++i) {
    c = (c << 1) | static_cast<std::uint32_t>((bits >> (64 - kPc1[i])) & 1);
    d = (d << 1) | static_cast<std::uint32_t>((bits >> (64 - kPc1[28 + i])) & 1);
  }
  for (int round = 0; round < 16; ++round) {
    const int s = kShifts[round];
    c = ((c << s) | (c >> (28 - s))) & 0x0fffffff;
    d = ((d << s) | (d >> (28 - s))) & 0x0fffffff;
    const std::uint64_t packed = kPc2Tables[0][(c >> 21) & 127] | kPc2Tables[1][(c >> 14) & 127] |
                                 kPc2Tables[2][(c >> 7) & 127] | kPc2Tables[3][c & 127] |
                                 kPc2Tables[4][(d >> 21) & 127] | kPc2Tables[5][(d >> 14) & 127] |
                                 kPc2Tables[6][(d >> 7) & 127] | kPc2Tables[7][d & 127];
    const int slot = reverse ? 15 - round : round;
    schedule->odd[slot] = static_cast<std::uint32_t>(packed);
    schedule->even[slot] = static_cast<std::uint32_t>(packed >> 32);
  }
}

void DesCbcEncrypt(const DesKeySchedule* schedules, int stages, unsigned char chain[8],
                   const unsigned char* in, unsigned char* out, std::size_t count) {
  std::uint32_t l = LoadBig32(chain), r = LoadBig32(chain + 4);
  for (; count > 0; --count, in += 8, out += 8) {
    l ^= LoadBig32(in);
    r ^= LoadBig32(in + 4);
    Cipher(schedules, stages, l, r);
    StoreBig32(out, l);
    StoreBig32(out + 4, r);
  }
  StoreBig32(chain, l);
  StoreBig32(chain + 4, r);
}

void DesCbcDecrypt(const DesKeySchedule* schedules, int stages, unsigned char chain[8],
                   const unsigned char* in, unsigned char* out, std::size_t count) {
  std::uint32_t chainL = LoadBig32(chain), chainR = LoadBig32(chain + 4);
  for (; count > 0; --count, in += 8, out += 8) {
    const std::uint32_t inL = LoadBig32(in), inR = LoadBig32(in + 4);
    std::uint32_t l = inL, r = inR;
    Cipher(schedules, stages, l, r);
    StoreBig32(out, l ^ chainL);
    StoreBig32(out + 4, r ^ chainR);
    chainL = inL;
    chainR = inR;
  }
  StoreBig32(chain, chainL);
  StoreBig32(chain + 4, chainR);
}

}  // namespace zyq::codec
