// SHA-1 compression with the x86 SHA extensions. Four rounds per sha1rnds4; the message
// schedule runs four words at a time in MSG0..MSG3 with sha1msg1, sha1msg2 and a XOR.
#include "codec/DigestCompress.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace zyq::codec {

#define ZYQ_TARGET __attribute__((target("sha,sse4.1,ssse3")))

namespace {

ZYQ_TARGET inline __m128i LoadWords(const unsigned char* p, __m128i order) {
  return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), order);
}

}  // namespace

// Group j (rounds 4j to 4j+3) uses msg[j % 4]; it completes the words of group j + 1 with
// sha1msg2 (j = 3..18), prepares those of group j + 3 with sha1msg1 (j = 1..16), and folds its
// words into those of group j + 2 (j = 2..17). E alternates between two registers.
#define ZYQ_SHA1_GROUP(j, ecur, enext, m0, m1, m2, m3)                  \
  ecur = _mm_sha1nexte_epu32(ecur, m0);                                 \
  enext = abcd;                                                         \
  if constexpr ((j) >= 3 && (j) <= 18) m1 = _mm_sha1msg2_epu32(m1, m0); \
  abcd = _mm_sha1rnds4_epu32(abcd, ecur, (j) / 5);                      \
  if constexpr ((j) >= 1 && (j) <= 16) m3 = _mm_sha1msg1_epu32(m3, m0); \
  if constexpr ((j) >= 2 && (j) <= 17) m2 = _mm_xor_si128(m2, m0)

ZYQ_TARGET void Sha1CompressShaExtensions(std::uint32_t state[5], const unsigned char* blocks,
                                          std::size_t count) {
  const __m128i order = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1b);
  __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
  __m128i e1;
  for (; count > 0; --count, blocks += 64) {
    const __m128i abcdSaved = abcd;
    const __m128i eSaved = e0;
    __m128i msg0 = LoadWords(blocks, order);
    __m128i msg1 = LoadWords(blocks + 16, order);
    __m128i msg2 = LoadWords(blocks + 32, order);
    __m128i msg3 = LoadWords(blocks + 48, order);

    e0 = _mm_add_epi32(e0, msg0);
    e1 = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, e0, 0);
    ZYQ_SHA1_GROUP(1, e1, e0, msg1, msg2, msg3, msg0);
    ZYQ_SHA1_GROUP(2, e0, e1, msg2, msg3, msg0, msg1);
    ZYQ_SHA1_GROUP(3, e1, e0, msg3, msg0, msg1, msg2);
    ZYQ_SHA1_GROUP(4, e0, e1, msg0, msg1, msg2, msg3);
    ZYQ_SHA1_GROUP(5, e1, e0, msg1, msg2, msg3, msg0);
    ZYQ_SHA1_GROUP(6, e0, e1, msg2, msg3, msg0, msg1);
    ZYQ_SHA1_GROUP(7, e1, e0, msg3, msg0, msg1, msg2);
    ZYQ_SHA1_GROUP(8, e0, e1, msg0, msg1, msg2, msg3);
    ZYQ_SHA1_GROUP(9, e1, e0, msg1, msg2, msg3, msg0);
    ZYQ_SHA1_GROUP(10, e0, e1, msg2, msg3, msg0, msg1);
    ZYQ_SHA1_GROUP(11, e1, e0, msg3, msg0, msg1, msg2);
    ZYQ_SHA1_GROUP(12, e0, e1, msg0, msg1, msg2, msg3);
    ZYQ_SHA1_GROUP(13, e1, e0, msg1, msg2, msg3, msg0);
    ZYQ_SHA1_GROUP(14, e0, e1, msg2, msg3, msg0, msg1);
    ZYQ_SHA1_GROUP(15, e1, e0, msg3, msg0, msg1, msg2);
    ZYQ_SHA1_GROUP(16, e0, e1, msg0, msg1, msg2, msg3);
    ZYQ_SHA1_GROUP(17, e1, e0, msg1, msg2, msg3, msg0);
    ZYQ_SHA1_GROUP(18, e0, e1, msg2, msg3, msg0, msg1);
    ZYQ_SHA1_GROUP(19, e1, e0, msg3, msg0, msg1, msg2);

    e0 = _mm_sha1nexte_epu32(e0, eSaved);
    abcd = _mm_add_epi32(abcd, abcdSaved);
  }
  abcd = _mm_shuffle_epi32(abcd, 0x1b);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), abcd);
  state[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e0, 3));
}

#undef ZYQ_SHA1_GROUP
#undef ZYQ_TARGET

}  // namespace zyq::codec

#else

namespace zyq::codec {

// Without the instructions this is never chosen; it stays correct all the same.
void Sha1CompressShaExtensions(std::uint32_t state[5], const unsigned char* blocks,
                               std::size_t count) {
  Sha1CompressPortable(state, blocks, count);
}

}  // namespace zyq::codec

#endif
