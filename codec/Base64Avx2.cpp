// DecodeBase64Runs with AVX2. Each character's high nibble picks its class: two lookups by
// nibble, ANDed, are nonzero exactly for the bytes outside the alphabet, and a third lookup by
// the high nibble (moved down by one for '/', which shares its nibble with '+') gives what to
// add to the character to get its value. Two multiply-adds then join the 6-bit values into
// 24-bit groups, and one shuffle and one permutation pack the 24 bytes.
#include "codec/Base64Runs.h"
#include "codec/CpuDispatch.h"

#if defined(__x86_64__)
#include <immintrin.h>

namespace zyq::codec {
namespace {

#define ZYQ_TARGET __attribute__((target("avx2")))

ZYQ_TARGET inline __m256i Broadcast16(const signed char (&bytes)[16]) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
}
// kByLow[low nibble] & kByHigh[high nibble] is nonzero exactly for the bytes outside the
// alphabet: bit 4 is in every kByLow entry and in kByHigh for the high nibbles other than 2 to 7;
// for those six rows, bits 0 to 3 of kByHigh pick the low nibbles that hold no letter, digit,
// '+' or '/'.
constexpr signed char kByLow[16] = {0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                                    0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A};
constexpr signed char kByHigh[16] = {0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08,
                                     0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10};
// Added to a character to give its value, by its high nibble ('/' at 1): '/' 47 -> 63,
// '+' 43 -> 62, digits 48 -> 52, 'A' 65 -> 0, 'a' 97 -> 26.
constexpr signed char kShift[16] = {0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0};

}  // namespace

ZYQ_TARGET static void DecodeRunsAvx2(const unsigned char** p, const unsigned char* end,
                                      unsigned char** out, const unsigned char* outLimit) {
  const __m256i byLow = Broadcast16(kByLow);
  const __m256i byHigh = Broadcast16(kByHigh);
  const __m256i shift = Broadcast16(kShift);
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i slash = _mm256_set1_epi8('/');
  // Within each 32-bit group c0 c1 c2 c3: (c0 << 6 | c1) and (c2 << 6 | c3), then the 24 bits.
  const __m256i joinPairs = _mm256_set1_epi32(0x01400140);
  const __m256i joinGroups = _mm256_set1_epi32(0x00011000);
  // The three bytes of each group, most significant first, twelve to a 128-bit lane.
  const __m256i order = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2,
                                         1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
  const unsigned char* in = *p;
  unsigned char* to = *out;
  while (end - in >= 32 && outLimit - to >= 32) {
    const __m256i text = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
    const __m256i high = _mm256_and_si256(_mm256_srli_epi32(text, 4), nibble);
    const __m256i low = _mm256_and_si256(text, nibble);
    const __m256i foreign =
        _mm256_and_si256(_mm256_shuffle_epi8(byLow, low), _mm256_shuffle_epi8(byHigh, high));
    if (!_mm256_testz_si256(foreign, foreign)) break;
    const __m256i index = _mm256_add_epi8(high, _mm256_cmpeq_epi8(text, slash));
    const __m256i values = _mm256_add_epi8(text, _mm256_shuffle_epi8(shift, index));
    const __m256i pairs = _mm256_maddubs_epi16(values, joinPairs);
    const __m256i groups = _mm256_madd_epi16(pairs, joinGroups);
    const __m256i packed = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(groups, order), lanes);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), packed);
    in += 32;
    to += 24;
  }
  *p = in;
  *out = to;
}

#undef ZYQ_TARGET

void DecodeBase64Runs(const unsigned char** p, const unsigned char* end, unsigned char** out,
                      const unsigned char* outLimit) {
  if (UseAvx2Bmi2()) DecodeRunsAvx2(p, end, out, outLimit);
}

}  // namespace zyq::codec

#else

namespace zyq::codec {

void DecodeBase64Runs(const unsigned char**, const unsigned char*, unsigned char**,
                      const unsigned char*) {}

}  // namespace zyq::codec

#endif
