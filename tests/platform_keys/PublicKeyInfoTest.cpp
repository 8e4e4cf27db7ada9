// Building and taking apart SubjectPublicKeyInfo DER without OpenSSL.
#include "platform/common/keys/PublicKeyInfo.h"

#include <gtest/gtest.h>

#include "tests/platform_keys/KeyTestSupport.h"

namespace zyq::platform::common {
namespace {

TEST(PublicKeyInfoTest, RoundTripsKeysOfEveryLengthForm) {
  // Short, one-byte and two-byte DER lengths.
  for (size_t n : {10u, 100u, 200u, 600u}) {
    std::vector<uint8_t> key(n, 0xAB);
    const auto spki = RsaPublicKeyInfo(key);
    std::vector<uint8_t> bits;
    ASSERT_EQ(PublicKeyBits(spki, &bits), kErrorSuccess) << n;
    EXPECT_EQ(bits, key);
  }
  // A real key as OpenSSL writes it.
  const auto spki = test::OpenSslPublicKeyInfo(test::OpenSslRsaKeyDer(512));
  std::vector<uint8_t> bits;
  ASSERT_EQ(PublicKeyBits(spki, &bits), kErrorSuccess);
  EXPECT_EQ(RsaPublicKeyInfo(bits), spki);
}

TEST(PublicKeyInfoTest, MalformedInputGivesAsn1Errors) {
  const auto good = RsaPublicKeyInfo(std::vector<uint8_t>(20, 1));
  std::vector<uint8_t> bits = {9};
  EXPECT_EQ(PublicKeyBits({}, &bits), kCryptEAsn1Eod);
  EXPECT_EQ(PublicKeyBits(std::span(good).first(good.size() - 1), &bits), kCryptEAsn1Eod);
  auto trailing = good;
  trailing.push_back(0);
  EXPECT_EQ(PublicKeyBits(trailing, &bits), kCryptEAsn1Badtag);
  auto wrongTag = good;
  wrongTag[0] = 0x31;
  EXPECT_EQ(PublicKeyBits(wrongTag, &bits), kCryptEAsn1Badtag);
  auto unusedBits = good;
  unusedBits[19] = 3;  // the bit string's unused-bits octet
  ASSERT_EQ(good[17], 0x03);
  EXPECT_EQ(PublicKeyBits(unusedBits, &bits), kCryptEAsn1Corrupt);
  EXPECT_EQ(PublicKeyBits(test::Bytes({0x30, 0x85, 1, 2, 3, 4, 5}), &bits), kCryptEAsn1Corrupt);
  EXPECT_EQ(PublicKeyBits(test::Bytes({0x30, 0x84, 0x7F, 0xFF, 0xFF, 0xFF}), &bits),
            kCryptEAsn1Eod);
  EXPECT_EQ(bits, (std::vector<uint8_t>{9}));
}

}  // namespace
}  // namespace zyq::platform::common
