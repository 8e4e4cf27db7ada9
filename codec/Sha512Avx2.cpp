// SHA-512 compression for processors with AVX2 and BMI2. The rounds are the portable ones, built
// with the three-operand rotate (rorx) and and-not; the message schedule runs in vector
// registers, two words at a time and sixteen rounds ahead of their use, with the round constants
// added on the way, so that the vector units build the schedule while the scalar units run the
// rounds.
#include "codec/DigestCompress.h"
#include "codec/Sha512Constants.h"

#if defined(__x86_64__)
#include <immintrin.h>

#include <bit>

namespace zyq::codec {

#define ZYQ_TARGET __attribute__((target("avx2,bmi,bmi2")))

namespace {

ZYQ_TARGET inline __m128i Rotr(__m128i x, int n) {
  return _mm_or_si128(_mm_srli_epi64(x, n), _mm_slli_epi64(x, 64 - n));
}
ZYQ_TARGET inline __m128i SmallSigma0(__m128i x) {
  return _mm_xor_si128(_mm_xor_si128(Rotr(x, 1), Rotr(x, 8)), _mm_srli_epi64(x, 7));
}
ZYQ_TARGET inline __m128i SmallSigma1(__m128i x) {
  return _mm_xor_si128(_mm_xor_si128(Rotr(x, 19), Rotr(x, 61)), _mm_srli_epi64(x, 6));
}

}  // namespace

// Words t and t + 1 of the schedule, t = base + 16 + 2k for the k-th pair of a run of sixteen
// rounds: into x[k] (x[k] holds the words 2k, 2k + 1 of the last sixteen), and W + K into wk[t].
// base is a multiple of 16, so the register of every pair is known when the code is built.
#define ZYQ_S512_SCHEDULE(k, base)                                                            \
  {                                                                                           \
    const __m128i w16 = x[(k)&7];                                                             \
    const __m128i w15 = _mm_alignr_epi8(x[((k) + 1) & 7], w16, 8);                            \
    const __m128i w7 = _mm_alignr_epi8(x[((k)-3) & 7], x[((k)-4) & 7], 8);                    \
    const __m128i word = _mm_add_epi64(_mm_add_epi64(w16, SmallSigma0(w15)),                  \
                                       _mm_add_epi64(w7, SmallSigma1(x[((k)-1) & 7])));       \
    x[(k)&7] = word;                                                                          \
    const std::size_t t = (base) + 16 + 2 * (k);                                              \
    _mm_store_si128(                                                                          \
        reinterpret_cast<__m128i*>(wk + t),                                                   \
        _mm_add_epi64(word, _mm_load_si128(reinterpret_cast<const __m128i*>(kSha512K + t)))); \
  }
#define ZYQ_S512_NO_SCHEDULE(k, base)

// One round with the variables renamed; Maj shares a ^ b with the next round's b ^ c.
#define ZYQ_S512_ROUND(a, b, c, d, e, f, g, h, i)                                               \
  {                                                                                             \
    const std::uint64_t t0 = h + wk[i];                                                         \
    const std::uint64_t t2 =                                                                    \
        (std::rotr(a, 28) ^ std::rotr(a, 34) ^ std::rotr(a, 39)) + (b ^ ((a ^ b) & (b ^ c)));   \
    const std::uint64_t t1 =                                                                    \
        (t0 + ((e & f) ^ (g & ~e))) + (std::rotr(e, 14) ^ std::rotr(e, 18) ^ std::rotr(e, 41)); \
    d += t1;                                                                                    \
    h = t2 + t1;                                                                                \
  }

// Rounds base to base + 15, with S run for the schedule sixteen rounds ahead.
#define ZYQ_S512_SIXTEEN(base, S)                     \
  ZYQ_S512_ROUND(a, b, c, d, e, f, g, h, (base) + 0)  \
  ZYQ_S512_ROUND(h, a, b, c, d, e, f, g, (base) + 1)  \
  S(0, base)                                          \
  ZYQ_S512_ROUND(g, h, a, b, c, d, e, f, (base) + 2)  \
  ZYQ_S512_ROUND(f, g, h, a, b, c, d, e, (base) + 3)  \
  S(1, base)                                          \
  ZYQ_S512_ROUND(e, f, g, h, a, b, c, d, (base) + 4)  \
  ZYQ_S512_ROUND(d, e, f, g, h, a, b, c, (base) + 5)  \
  S(2, base)                                          \
  ZYQ_S512_ROUND(c, d, e, f, g, h, a, b, (base) + 6)  \
  ZYQ_S512_ROUND(b, c, d, e, f, g, h, a, (base) + 7)  \
  S(3, base)                                          \
  ZYQ_S512_ROUND(a, b, c, d, e, f, g, h, (base) + 8)  \
  ZYQ_S512_ROUND(h, a, b, c, d, e, f, g, (base) + 9)  \
  S(4, base)                                          \
  ZYQ_S512_ROUND(g, h, a, b, c, d, e, f, (base) + 10) \
  ZYQ_S512_ROUND(f, g, h, a, b, c, d, e, (base) + 11) \
  S(5, base)                                          \
  ZYQ_S512_ROUND(e, f, g, h, a, b, c, d, (base) + 12) \
  ZYQ_S512_ROUND(d, e, f, g, h, a, b, c, (base) + 13) \
  S(6, base)                                          \
  ZYQ_S512_ROUND(c, d, e, f, g, h, a, b, (base) + 14) \
  ZYQ_S512_ROUND(b, c, d, e, f, g, h, a, (base) + 15) \
  S(7, base)

namespace {

// Loads a block into x (word pairs, in the processor's order) and stores W + K of its first 16
// words into wk[0..16).
ZYQ_TARGET inline void LoadBlock(const unsigned char* block, __m128i x[8], std::uint64_t* wk) {
  const __m128i order = _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7);
  for (int k = 0; k < 8; ++k) {
    x[k] =
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * k)), order);
    _mm_store_si128(
        reinterpret_cast<__m128i*>(wk + 2 * k),
        _mm_add_epi64(x[k], _mm_load_si128(reinterpret_cast<const __m128i*>(kSha512K + 2 * k))));
  }
}

}  // namespace

ZYQ_TARGET void Sha512CompressAvx2(std::uint64_t state[8], const unsigned char* blocks,
                                   std::size_t count) {
  alignas(16) std::uint64_t wk[80];
  std::uint64_t a = state[0], b = state[1], c = state[2], d = state[3];
  std::uint64_t e = state[4], f = state[5], g = state[6], h = state[7];
  for (; count > 0; --count, blocks += 128) {
    __m128i x[8];
    LoadBlock(blocks, x, wk);
    for (std::size_t base = 0; base < 64; base += 16) {
      ZYQ_S512_SIXTEEN(base, ZYQ_S512_SCHEDULE)
    }
    ZYQ_S512_SIXTEEN(64, ZYQ_S512_NO_SCHEDULE)
    a = state[0] += a;
    b = state[1] += b;
    c = state[2] += c;
    d = state[3] += d;
    e = state[4] += e;
    f = state[5] += f;
    g = state[6] += g;
    h = state[7] += h;
  }
  // The schedule is derived from the message: leave none of it on the stack.
  __builtin_memset(wk, 0, sizeof wk);
  __asm__ __volatile__("" : : "r"(wk) : "memory");
}

#undef ZYQ_S512_SIXTEEN
#undef ZYQ_S512_NO_SCHEDULE
#undef ZYQ_S512_ROUND
#undef ZYQ_S512_SCHEDULE
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
