#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codec/ByteBuffer.h"
#include "codec/CpuDispatch.h"
#include "codec/DigestCompress.h"
#include "codec/Md5Digest.h"
#include "codec/Sha1Digest.h"
#include "codec/Sha256Digest.h"
#include "codec/Sha512Digest.h"
#include "tests/codec/BufferChecks.h"
#include "tests/codec/OpenSslReference.h"

namespace zyq {
namespace {

using test::Bytes;
using test::Content;

template <typename D>
struct Reference;
template <>
struct Reference<Md5Digest> {
  static constexpr const char* kName = "MD5";
};
template <>
struct Reference<Sha1Digest> {
  static constexpr const char* kName = "SHA1";
};
template <>
struct Reference<Sha256Digest> {
  static constexpr const char* kName = "SHA256";
};
template <>
struct Reference<Sha512Digest> {
  static constexpr const char* kName = "SHA512";
};

// Runs the body once with the processor's fast paths and once with the portable code only
// (only once where the processor has no fast path), restoring the choice afterwards.
template <typename Body>
void ForEachCodePath(Body body) {
  const bool hasFastPath = codec::CpuHasShaExtensions() || codec::CpuHasAvx2Bmi2();
  for (bool portable : {false, true}) {
    if (portable && !hasFastPath) break;
    codec::SetPortableOnly(portable);
    SCOPED_TRACE(portable ? "portable code" : "fastest code");
    body();
  }
  codec::SetPortableOnly(false);
}

template <typename D>
Bytes Ours(const unsigned char* data, std::size_t n) {
  D digest;
  digest.Compute(data, n);
  EXPECT_TRUE(test::WellFormed(digest.result()));
  return Content(digest.result());
}

template <typename D>
Bytes Theirs(const unsigned char* data, std::size_t n) {
  return test::ReferenceDigest(Reference<D>::kName, data, n);
}

template <typename D>
class DigestTest : public ::testing::Test {};
using DigestTypes = ::testing::Types<Md5Digest, Sha1Digest, Sha256Digest, Sha512Digest>;
TYPED_TEST_SUITE(DigestTest, DigestTypes);

TYPED_TEST(DigestTest, EveryShortLengthMatchesOpenSsl) {
  const Bytes data = test::RandomBytes(300, 11);
  ForEachCodePath([&] {
    for (std::size_t n = 0; n <= 300; ++n) {
      const Bytes ours = Ours<TypeParam>(data.data(), n);
      ASSERT_EQ(ours.size(), static_cast<std::size_t>(TypeParam::kDigestLength));
      ASSERT_EQ(ours, Theirs<TypeParam>(data.data(), n)) << "length " << n;
    }
  });
}

TYPED_TEST(DigestTest, PaddingBoundariesMatchOpenSsl) {
  // The padding takes an extra block exactly when the length field no longer fits.
  const std::size_t block = TypeParam::kBlockLength;
  const std::size_t field = block == 128 ? 16 : 8;
  const Bytes data = test::RandomBytes(4 * block, 12);
  ForEachCodePath([&] {
    for (std::size_t k = 1; k <= 3; ++k) {
      for (std::size_t n : {k * block - field - 1, k * block - field, k * block - 1, k * block}) {
        ASSERT_EQ(Ours<TypeParam>(data.data(), n), Theirs<TypeParam>(data.data(), n)) << n;
      }
    }
  });
}

TYPED_TEST(DigestTest, OneMebibyteMatchesOpenSsl) {
  const Bytes data = test::RandomBytes(1 << 20, 13);
  ForEachCodePath([&] {
    EXPECT_EQ(Ours<TypeParam>(data.data(), data.size()),
              Theirs<TypeParam>(data.data(), data.size()));
  });
}

TYPED_TEST(DigestTest, AnyChunkingGivesTheOneShotDigest) {
  std::mt19937 rng(14);
  ForEachCodePath([&] {
    for (int trial = 0; trial < 200; ++trial) {
      const std::size_t n = rng() % 2000;
      const Bytes data = test::RandomBytes(n, static_cast<std::uint32_t>(trial));
      TypeParam digest;
      digest.Init();
      std::size_t pos = 0;
      while (pos < n) {
        // Mostly small pieces, some empty ones, now and then a large one.
        std::size_t piece = rng() % 8 == 0 ? rng() % 700 : rng() % 70;
        if (piece > n - pos) piece = n - pos;
        digest.Update(data.data() + pos, piece);
        pos += piece;
      }
      digest.Final();
      ASSERT_EQ(Content(digest.result()), Theirs<TypeParam>(data.data(), n)) << "trial " << trial;
    }
  });
}

TYPED_TEST(DigestTest, FinalAppendsAndComputeStartsOver) {
  const std::string a = "first message";
  const std::string b = "second";
  TypeParam digest;
  digest.Update(a.data(), a.size());
  digest.Final();
  // After Final the object is ready for a new message; Final appends to what is there.
  digest.Update(b.data(), b.size());
  digest.Final();
  Bytes expected = Theirs<TypeParam>(reinterpret_cast<const unsigned char*>(a.data()), a.size());
  const Bytes second =
      Theirs<TypeParam>(reinterpret_cast<const unsigned char*>(b.data()), b.size());
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(Content(digest.result()), expected);

  // Compute empties the result first, and forgets any message in progress.
  digest.Update(a.data(), a.size());
  digest.Compute(b);
  EXPECT_EQ(Content(digest.result()), second);
  EXPECT_TRUE(test::WellFormed(digest.result()));
  digest.Compute(nullptr, 0);
  EXPECT_EQ(Content(digest.result()), Theirs<TypeParam>(nullptr, 0));
}

// Published digests: the empty message, "abc", and the 56-byte message of the standard's
// examples, which needs the extra padding block.
TEST(DigestTest, PublishedVectors) {
  const std::string m56 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  auto hex = [](const ByteBuffer& digest) {
    ByteBuffer text;
    text.EncodeHex(digest.data(), digest.length());
    return test::Text(text);
  };
  ForEachCodePath([&] {
    Md5Digest md5;
    md5.Compute("", 0);
    EXPECT_EQ(hex(md5.result()), "D41D8CD98F00B204E9800998ECF8427E");
    md5.Compute("abc");
    EXPECT_EQ(hex(md5.result()), "900150983CD24FB0D6963F7D28E17F72");
    Sha1Digest sha1;
    sha1.Compute("abc");
    EXPECT_EQ(hex(sha1.result()), "A9993E364706816ABA3E25717850C26C9CD0D89D");
    sha1.Compute(m56);
    EXPECT_EQ(hex(sha1.result()), "84983E441C3BD26EBAAE4AA1F95129E5E54670F1");
    Sha256Digest sha256;
    sha256.Compute("", 0);
    EXPECT_EQ(hex(sha256.result()),
              "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
    sha256.Compute(m56);
    EXPECT_EQ(hex(sha256.result()),
              "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1");
    Sha512Digest sha512;
    sha512.Compute("abc");
    EXPECT_EQ(hex(sha512.result()),
              "DDAF35A193617ABACC417349AE20413112E6FA4E89A97EA20A9EEEE64B55D39A"
              "2192992A274FC1A836BA3C23A3FEEBBD454D4423643CE80E2A9AC94FA54CA49F");
  });
}

// The fast compression functions must agree with the portable ones block for block, from any
// chaining value, not only from the initial one.
TEST(DigestTest, FastCompressionAgreesWithPortable) {
  const bool sha = codec::CpuHasShaExtensions();
  const bool avx2 = codec::CpuHasAvx2Bmi2();
  if (!sha && !avx2) GTEST_SKIP() << "no fast path on this processor";
  std::mt19937_64 rng(15);
  for (int trial = 0; trial < 100; ++trial) {
    const std::size_t blocks = 1 + rng() % 20;
    const Bytes data = test::RandomBytes(128 * blocks, static_cast<std::uint32_t>(1000 + trial));
    if (sha) {
      std::uint32_t s1[5], p1[5], s2[8], p2[8];
      for (auto& v : s1) v = static_cast<std::uint32_t>(rng());
      for (auto& v : s2) v = static_cast<std::uint32_t>(rng());
      std::copy(std::begin(s1), std::end(s1), p1);
      std::copy(std::begin(s2), std::end(s2), p2);
      codec::Sha1CompressShaExtensions(s1, data.data(), 2 * blocks);
      codec::Sha1CompressPortable(p1, data.data(), 2 * blocks);
      ASSERT_TRUE(std::equal(std::begin(s1), std::end(s1), p1)) << "SHA-1 trial " << trial;
      codec::Sha256CompressShaExtensions(s2, data.data(), 2 * blocks);
      codec::Sha256CompressPortable(p2, data.data(), 2 * blocks);
      ASSERT_TRUE(std::equal(std::begin(s2), std::end(s2), p2)) << "SHA-256 trial " << trial;
    }
    if (avx2) {
      std::uint64_t s3[8], p3[8];
      for (auto& v : s3) v = rng();
      std::copy(std::begin(s3), std::end(s3), p3);
      codec::Sha512CompressAvx2(s3, data.data(), blocks);
      codec::Sha512CompressPortable(p3, data.data(), blocks);
      ASSERT_TRUE(std::equal(std::begin(s3), std::end(s3), p3)) << "SHA-512 trial " << trial;
    }
  }
}

}  // namespace
}  // namespace zyq
