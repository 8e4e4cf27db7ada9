// SHA-256 compression with the x86 SHA extensions. The state lives in two registers in the
// order the instructions want (ABEF and CDGH); each sha256rnds2 does two rounds, and the message
// schedule runs four words at a time in MSG0..MSG3 with sha256msg1 and sha256msg2.
#include "codec/DigestCompress.h"
#include "codec/Sha256Constants.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace zyq::codec {

#define ZYQ_TARGET __attribute__((target("sha,sse4.1,ssse3")))

namespace {

ZYQ_TARGET inline __m128i LoadWords(const unsigned char* p, __m128i order) {
  return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), order);
}

ZYQ_TARGET inline __m128i RoundConstants(int group) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(kSha256K + 4 * group));
}

}  // namespace

// Group j (rounds 4j to 4j+3) uses msg[j % 4] (m0 here). It completes the words of group j + 1
// (m1) with sha256msg2 for j = 3..14 and prepares those of group j + 3 (m3) with sha256msg1 for
// j = 1..12.
#define ZYQ_SHA256_GROUP(j, m0, m1, m2, m3)                                 \
  {                                                                         \
    __m128i words = _mm_add_epi32(m0, RoundConstants(j));                   \
    cdgh = _mm_sha256rnds2_epu32(cdgh, abef, words);                        \
    if constexpr ((j) >= 3 && (j) <= 14) {                                  \
      m1 = _mm_add_epi32(m1, _mm_alignr_epi8(m0, m3, 4));                   \
      m1 = _mm_sha256msg2_epu32(m1, m0);                                    \
    }                                                                       \
    words = _mm_shuffle_epi32(words, 0x0e);                                 \
    abef = _mm_sha256rnds2_epu32(abef, cdgh, words);                        \
    if constexpr ((j) >= 1 && (j) <= 12) m3 = _mm_sha256msg1_epu32(m3, m0); \
  }

ZYQ_TARGET void Sha256CompressShaExtensions(std::uint32_t state[8], const unsigned char* blocks,
                                            std::size_t count) {
  const __m128i order = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
  // state[0..3] = A B C D and state[4..7] = E F G H, lowest lane first.
  __m128i dcba = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xb1);
  __m128i efgh =
      _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1b);
  __m128i abef = _mm_alignr_epi8(dcba, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, dcba, 0xf0);

  for (; count > 0; --count, blocks += 64) {
    const __m128i abefSaved = abef;
    const __m128i cdghSaved = cdgh;
    __m128i msg0 = LoadWords(blocks, order);
    __m128i msg1 = LoadWords(blocks + 16, order);
    __m128i msg2 = LoadWords(blocks + 32, order);
    __m128i msg3 = LoadWords(blocks + 48, order);

    ZYQ_SHA256_GROUP(0, msg0, msg1, msg2, msg3)
    ZYQ_SHA256_GROUP(1, msg1, msg2, msg3, msg0)
    ZYQ_SHA256_GROUP(2, msg2, msg3, msg0, msg1)
    ZYQ_SHA256_GROUP(3, msg3, msg0, msg1, msg2)
    ZYQ_SHA256_GROUP(4, msg0, msg1, msg2, msg3)
    ZYQ_SHA256_GROUP(5, msg1, msg2, msg3, msg0)
    ZYQ_SHA256_GROUP(6, msg2, msg3, msg0, msg1)
    ZYQ_SHA256_GROUP(7, msg3, msg0, msg1, msg2)
    ZYQ_SHA256_GROUP(8, msg0, msg1, msg2, msg3)
    ZYQ_SHA256_GROUP(9, msg1, msg2, msg3, msg0)
    ZYQ_SHA256_GROUP(10, msg2, msg3, msg0, msg1)
    ZYQ_SHA256_GROUP(11, msg3, msg0, msg1, msg2)
    ZYQ_SHA256_GROUP(12, msg0, msg1, msg2, msg3)
    ZYQ_SHA256_GROUP(13, msg1, msg2, msg3, msg0)
    ZYQ_SHA256_GROUP(14, msg2, msg3, msg0, msg1)
    ZYQ_SHA256_GROUP(15, msg3, msg0, msg1, msg2)

    abef = _mm_add_epi32(abef, abefSaved);
    cdgh = _mm_add_epi32(cdgh, cdghSaved);
  }

  const __m128i feba = _mm_shuffle_epi32(abef, 0x1b);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xb1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xf0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

#undef ZYQ_SHA256_GROUP
#undef ZYQ_TARGET

}  // namespace zyq::codec

#else

namespace zyq::codec {

// Without the instructions this is never chosen; it stays correct all the same.
void Sha256CompressShaExtensions(std::uint32_t state[8], const unsigned char* blocks,
                                 std::size_t count) {
  Sha256CompressPortable(state, blocks, count);
}

}  // namespace zyq::codec

#endif
