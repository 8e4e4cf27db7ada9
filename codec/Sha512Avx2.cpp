// SHA-512 compression for processors with AVX2 and BMI2. The rounds are the portable ones, built
// with the three-operand rotate (rorx) and and-not; the message schedule runs in vector
// registers, sixteen rounds ahead of its use, with the round constants added on the way, so that
// the vector units build the schedule while the scalar units run the rounds. Blocks go in pairs,
// one 256-bit lane per block, so the rounds of the first block build the whole schedule of both
// and the second block's rounds only read it. A last odd block fills both lanes and only its
// first is used: on processors whose vector additions and shifts take two cycles, this single
// schedule keeps up with the rounds where a 128-bit one of the same words did not (a lone block
// took a fifth longer).
#include "codec/DigestCompress.h"
#include "codec/Sha512Constants.h"

#if defined(__x86_64__)
#include <immintrin.h>

#include <bit>

namespace zyq::codec {

#define ZYQ_TARGET __attribute__((target("avx2,bmi,bmi2")))

namespace {

ZYQ_TARGET inline __m256i Rotr(__m256i x, int n) {
  return _mm256_or_si256(_mm256_srli_epi64(x, n), _mm256_slli_epi64(x, 64 - n));
}
ZYQ_TARGET inline __m256i SmallSigma0(__m256i x) {
  return _mm256_xor_si256(_mm256_xor_si256(Rotr(x, 1), Rotr(x, 8)), _mm256_srli_epi64(x, 7));
}
ZYQ_TARGET inline __m256i SmallSigma1(__m256i x) {
  return _mm256_xor_si256(_mm256_xor_si256(Rotr(x, 19), Rotr(x, 61)), _mm256_srli_epi64(x, 6));
}

}  // namespace

// Words t and t + 1 of the schedule of both blocks, t = base + 16 + 2k for the k-th pair of a run
// of sixteen rounds: y[k] holds the words 2k, 2k + 1 of the last sixteen, the first block's in its
// low lane and the second block's in its high lane (the byte shifts work lane by lane). base is a
// multiple of 16, so the register of every pair is known when the code is built. W + K of both
// goes to wk2[2t], wk2[2t + 1] (first block) and wk2[2t + 2], wk2[2t + 3] (second block). The
// sum ends with sigma1 of the pair just made, the one input that is not ready long before.
#define ZYQ_S512_SCHEDULE2(k, base)                                                     \
  {                                                                                     \
    const __m256i w16 = y[(k)&7];                                                       \
    const __m256i w15 = _mm256_alignr_epi8(y[((k) + 1) & 7], w16, 8);                   \
    const __m256i w7 = _mm256_alignr_epi8(y[((k)-3) & 7], y[((k)-4) & 7], 8);           \
    const __m256i word =                                                                \
        _mm256_add_epi64(_mm256_add_epi64(_mm256_add_epi64(w16, w7), SmallSigma0(w15)), \
                         SmallSigma1(y[((k)-1) & 7]));                                  \
    y[(k)&7] = word;                                                                    \
    const std::size_t t = (base) + 16 + 2 * (k);                                        \
    _mm256_store_si256(reinterpret_cast<__m256i*>(wk2 + 2 * t),                         \
                       _mm256_add_epi64(word, PairOfK(t)));                             \
  }
#define ZYQ_S512_NO_SCHEDULE(k, base)

// Where round i finds W + K: the first or second block of a pair.
#define ZYQ_S512_WK_FIRST(i) wk2[2 * (i) - ((i)&1)]
#define ZYQ_S512_WK_SECOND(i) wk2[2 * (i) - ((i)&1) + 2]

// One round with the variables renamed; Maj shares a ^ b with the next round's b ^ c. The new e
// is the sum that ends with Sigma1(e), the longest part of the round, so that it waits for one
// addition only; Ch adds its two disjoint halves.
#define ZYQ_S512_ROUND(a, b, c, d, e, f, g, h, i, WK)                                         \
  {                                                                                           \
    const std::uint64_t u = (h + WK(i)) + ((e & f) + (g & ~e));                               \
    const std::uint64_t s1 = std::rotr(e, 14) ^ std::rotr(e, 18) ^ std::rotr(e, 41);          \
    const std::uint64_t t2 =                                                                  \
        (std::rotr(a, 28) ^ std::rotr(a, 34) ^ std::rotr(a, 39)) + (b ^ ((a ^ b) & (b ^ c))); \
    d = (d + u) + s1;                                                                         \
    h = (u + t2) + s1;                                                                        \
  }

// Rounds base to base + 15, with S run for the schedule sixteen rounds ahead.
#define ZYQ_S512_SIXTEEN(base, S, WK)                     \
  ZYQ_S512_ROUND(a, b, c, d, e, f, g, h, (base) + 0, WK)  \
  ZYQ_S512_ROUND(h, a, b, c, d, e, f, g, (base) + 1, WK)  \
  S(0, base)                                              \
  ZYQ_S512_ROUND(g, h, a, b, c, d, e, f, (base) + 2, WK)  \
  ZYQ_S512_ROUND(f, g, h, a, b, c, d, e, (base) + 3, WK)  \
  S(1, base)                                              \
  ZYQ_S512_ROUND(e, f, g, h, a, b, c, d, (base) + 4, WK)  \
  ZYQ_S512_ROUND(d, e, f, g, h, a, b, c, (base) + 5, WK)  \
  S(2, base)                                              \
  ZYQ_S512_ROUND(c, d, e, f, g, h, a, b, (base) + 6, WK)  \
  ZYQ_S512_ROUND(b, c, d, e, f, g, h, a, (base) + 7, WK)  \
  S(3, base)                                              \
  ZYQ_S512_ROUND(a, b, c, d, e, f, g, h, (base) + 8, WK)  \
  ZYQ_S512_ROUND(h, a, b, c, d, e, f, g, (base) + 9, WK)  \
  S(4, base)                                              \
  ZYQ_S512_ROUND(g, h, a, b, c, d, e, f, (base) + 10, WK) \
  ZYQ_S512_ROUND(f, g, h, a, b, c, d, e, (base) + 11, WK) \
  S(5, base)                                              \
  ZYQ_S512_ROUND(e, f, g, h, a, b, c, d, (base) + 12, WK) \
  ZYQ_S512_ROUND(d, e, f, g, h, a, b, c, (base) + 13, WK) \
  S(6, base)                                              \
  ZYQ_S512_ROUND(c, d, e, f, g, h, a, b, (base) + 14, WK) \
  ZYQ_S512_ROUND(b, c, d, e, f, g, h, a, (base) + 15, WK) \
  S(7, base)

namespace {

// The constants of words t and t + 1 in both lanes.
ZYQ_TARGET inline __m256i PairOfK(std::size_t t) {
  return _mm256_broadcastsi128_si256(
      _mm_load_si128(reinterpret_cast<const __m128i*>(kSha512K + t)));
}

// Loads two blocks into y (word pairs, in the processor's order; the first block in the low
// lanes) and stores W + K of their first 16 words into wk2 as ZYQ_S512_SCHEDULE2 lays it out.
ZYQ_TARGET inline void LoadTwoBlocks(const unsigned char* first, const unsigned char* second,
                                     __m256i y[8], std::uint64_t* wk2) {
  const __m256i order = _mm256_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9,
                                        10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7);
  for (int k = 0; k < 8; ++k) {
    const __m256i both = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 16 * k))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(second + 16 * k)), 1);
    y[k] = _mm256_shuffle_epi8(both, order);
    _mm256_store_si256(reinterpret_cast<__m256i*>(wk2 + 4 * k),
                       _mm256_add_epi64(y[k], PairOfK(2 * static_cast<std::size_t>(k))));
  }
}

}  // namespace

ZYQ_TARGET void Sha512CompressAvx2(std::uint64_t state[8], const unsigned char* blocks,
                                   std::size_t count) {
  alignas(32) std::uint64_t wk2[160];
  const bool any = count > 0;
  std::uint64_t a = state[0], b = state[1], c = state[2], d = state[3];
  std::uint64_t e = state[4], f = state[5], g = state[6], h = state[7];
  while (count > 0) {
    __m256i y[8];
    LoadTwoBlocks(blocks, count >= 2 ? blocks + 128 : blocks, y, wk2);
    for (std::size_t base = 0; base < 64; base += 16) {
      ZYQ_S512_SIXTEEN(base, ZYQ_S512_SCHEDULE2, ZYQ_S512_WK_FIRST)
    }
    ZYQ_S512_SIXTEEN(64, ZYQ_S512_NO_SCHEDULE, ZYQ_S512_WK_FIRST)
    a = state[0] += a;
    b = state[1] += b;
    c = state[2] += c;
    d = state[3] += d;
    e = state[4] += e;
    f = state[5] += f;
    g = state[6] += g;
    h = state[7] += h;
    if (count < 2) break;
    for (std::size_t base = 0; base < 80; base += 16) {
      ZYQ_S512_SIXTEEN(base, ZYQ_S512_NO_SCHEDULE, ZYQ_S512_WK_SECOND)
    }
    a = state[0] += a;
    b = state[1] += b;
    c = state[2] += c;
    d = state[3] += d;
    e = state[4] += e;
    f = state[5] += f;
    g = state[6] += g;
    h = state[7] += h;
    count -= 2;
    blocks += 256;
  }
  // The schedule is derived from the message: leave none of it on the stack.
  if (any) __builtin_memset(wk2, 0, sizeof wk2);
  __asm__ __volatile__("" : : "r"(wk2) : "memory");
}

#undef ZYQ_S512_SIXTEEN
#undef ZYQ_S512_WK_SECOND
#undef ZYQ_S512_WK_FIRST
#undef ZYQ_S512_NO_SCHEDULE
#undef ZYQ_S512_SCHEDULE2
#undef ZYQ_S512_ROUND
#undef ZYQ_TARGET

}  // namespace zyq::codec

#else

namespace zyq::codec {

// Without the instructions this is never chosen; it stays correct all the same.
void Sha512CompressAvx2(std::uint64_t state[8], const unsigned char* blocks, std::size_t count) {
  Sha512CompressPortable(state, blocks, count);
}

}  // namespace zyq::codec

#endif
