#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "codec/ByteBuffer.h"
#include "codec/CpuDispatch.h"
#include "tests/codec/BufferChecks.h"
#include "tests/codec/OpenSslReference.h"

namespace zyq {
namespace {

using test::Bytes;
using test::Content;
using test::Text;
using test::WellFormed;

Bytes B(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

std::string Encode(const std::string& s) {
  ByteBuffer buffer;
  EXPECT_TRUE(buffer.EncodeBase64(s.data(), static_cast<int>(s.size())));
  EXPECT_TRUE(WellFormed(buffer));
  return Text(buffer);
}

// Decodes text; "<false>" when the decoder refuses it.
std::string Decode(const std::string& text) {
  ByteBuffer buffer;
  const bool ok = buffer.DecodeBase64(text.c_str());
  EXPECT_TRUE(WellFormed(buffer));
  if (!ok) {
    EXPECT_TRUE(buffer.empty());
    return "<false>";
  }
  return Text(buffer);
}

TEST(Base64Test, EncodesTheStandardForms) {
  EXPECT_EQ(Encode("abc"), "YWJj");
  EXPECT_EQ(Encode("ab"), "YWI=");
  EXPECT_EQ(Encode("a"), "YQ==");
  EXPECT_EQ(Encode(std::string("\xff\xfe\xfd\x00", 4)), "//79AA==");

  ByteBuffer buffer;
  ASSERT_TRUE(buffer.EncodeBase64("abc", 3));
  EXPECT_FALSE(buffer.EncodeBase64("abc", 0));
  EXPECT_TRUE(buffer.empty());
  EXPECT_FALSE(buffer.EncodeBase64(nullptr, 3));
  EXPECT_TRUE(WellFormed(buffer));
}

TEST(Base64Test, EncodingAgreesWithOpenSslAndDecodesBack) {
  for (std::size_t n = 1; n <= 200; ++n) {
    const Bytes data = test::RandomBytes(n, static_cast<std::uint32_t>(n));
    ByteBuffer encoded;
    ASSERT_TRUE(encoded.EncodeBase64(data.data(), static_cast<int>(n)));
    ASSERT_EQ(Text(encoded), test::ReferenceBase64(data.data(), n)) << n;
    ASSERT_TRUE(WellFormed(encoded));
    ByteBuffer decoded;
    ASSERT_TRUE(decoded.DecodeBase64(encoded.c_str()));
    ASSERT_EQ(Content(decoded), data) << n;
    ASSERT_TRUE(WellFormed(decoded));
  }
  const Bytes big = test::RandomBytes(1 << 20, 77);
  ByteBuffer encoded;
  ASSERT_TRUE(encoded.EncodeBase64(big.data(), static_cast<int>(big.size())));
  EXPECT_EQ(Text(encoded), test::ReferenceBase64(big.data(), big.size()));
  ByteBuffer decoded;
  ASSERT_TRUE(decoded.DecodeBase64(encoded.c_str()));
  EXPECT_EQ(Content(decoded), big);
}

TEST(Base64Test, DecodesAcrossLineBreaksAndSpaces) {
  EXPECT_EQ(Decode("YWJj"), "abc");
  EXPECT_EQ(Decode("YW\r\nJj"), "abc");
  EXPECT_EQ(Decode("Y W\nJ\rj"), "abc");
  EXPECT_EQ(Decode("YWJj\r\n \r\n"), "abc");
  EXPECT_EQ(Decode("YWI="), "ab");
  EXPECT_EQ(Decode("YQ=="), "a");
  // OpenSSL's 64-character lines.
  const Bytes data = test::RandomBytes(1000, 5);
  const std::string lines = test::ReferenceBase64Lines(data.data(), data.size());
  ASSERT_NE(lines.find('\n'), std::string::npos);
  EXPECT_EQ(B(Decode(lines)), data);
}

TEST(Base64Test, ShortGroupsAndPaddingInTheMiddle) {
  EXPECT_EQ(Decode("YWI"), "ab");  // the missing slot counts as padding
  EXPECT_EQ(Decode("YQ"), "a");
  EXPECT_EQ(Decode("Y"), std::string("\x60", 1));
  EXPECT_EQ(Decode("YQ==YWI="), "aab");  // decoding goes on after a padded group
  EXPECT_EQ(Decode("YWI=\r\nYWJj"), "ababc");
  // '=' in the third slot ends the group after one byte, whatever stands in the fourth.
  EXPECT_EQ(Decode("YQ=j"), "a");
  // Bits that padding leaves over are dropped, and leave nothing behind after the content.
  EXPECT_EQ(Decode("YR=="), "a");
  EXPECT_EQ(Decode("YWK="), "ab");
  EXPECT_EQ(Decode("YWJjYWK="), "abcab");
}

TEST(Base64Test, ForeignCharactersDecodeAsValue65) {
  // '!' takes the value 65 in the second slot: (24 << 2) | ((65 >> 4) & 3), then
  // ((65 & 15) << 4) | ((9 >> 2) & 15), then ((9 & 3) << 6) | 35.
  EXPECT_EQ(Decode("Y!Jj"), std::string("\x60\x12\x63", 3));
  // In the first slot only its low six bits count: 65 & 63 = 1.
  EXPECT_EQ(Decode("#WJj"), std::string("\x05\x62\x63", 3));
  // '=' in the first slot is the value 64, whose low six bits are zero.
  EXPECT_EQ(Decode("=WJj"), std::string("\x01\x62\x63", 3));
  // A foreign character in the fourth slot is not padding: the group gives three bytes.
  EXPECT_EQ(Decode("YWJ\xE9"), std::string("\x61\x62\x41", 3));
}

// The vector path decodes runs of 32 alphabet characters and leaves a run with any other byte
// to the walk: every byte at every place of three runs, and texts of every length up to where
// the output's end stops the vector stores, decode as the portable walk decodes them.
TEST(Base64Test, VectorRunsAgreeWithThePortableWalk) {
  if (!codec::CpuHasAvx2Bmi2()) GTEST_SKIP() << "no vector path on this processor";
  const auto both = [](const std::string& text) {
    codec::SetPortableOnly(true);
    const std::string portable = Decode(text);
    codec::SetPortableOnly(false);
    return std::make_pair(Decode(text), portable);
  };
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string runs;
  for (int i = 0; i < 96; ++i) runs += alphabet[(i * 37) % 64];
  for (int byte = 1; byte < 256; ++byte) {
    for (std::size_t place = 0; place < runs.size(); ++place) {
      std::string text = runs;
      text[place] = static_cast<char>(byte);
      const auto [fast, portable] = both(text);
      ASSERT_EQ(fast, portable) << "byte " << byte << " at " << place;
    }
  }
  for (std::size_t length = 1; length <= 200; ++length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text += alphabet[(i * 11 + length) % 64];
    for (const char* tail : {"", "=", "=="}) {
      const auto [fast, portable] = both(text + tail);
      ASSERT_EQ(fast, portable) << length << " characters and \"" << tail << "\"";
    }
  }
  codec::SetPortableOnly(false);
}

TEST(Base64Test, ArmourLinesAreSkipped) {
  const std::string body = "YWJj";
  EXPECT_EQ(Decode("-----BEGIN CERTIFICATE-----\r\nYWJj\r\n-----END CERTIFICATE-----\r\n"), "abc");
  EXPECT_EQ(Decode("-----BEGIN X-----\nYWJj\nYWJj\r\nYQ==\n-----END X-----"), "abcabca");
  EXPECT_EQ(Decode("-----BEGIN X-----\r\nYWJj\r\n \r\n-----END X-----"), "abc");
  // Whatever follows the closing armour is ignored.
  EXPECT_EQ(Decode("-----BEGIN X-----\r\nYWJj\r\n-----END X-----\r\nYWJj"), "abc");
  // An opening line with no closing one, and a text of dashes only, are refused.
  EXPECT_EQ(Decode("-----BEGIN X-----\r\nYWJj\r\n"), "<false>");
  EXPECT_EQ(Decode("--------"), "<false>");
  EXPECT_EQ(Decode("-----BEGIN X"), "<false>");
  // OpenSSL's own armour around a large body.
  const Bytes data = test::RandomBytes(3000, 9);
  const std::string pem = "-----BEGIN PKCS7-----\n" +
                          test::ReferenceBase64Lines(data.data(), data.size()) +
                          "-----END PKCS7-----\n";
  EXPECT_EQ(B(Decode(pem)), data);
}

TEST(Base64Test, RefusesNothingToDecode) {
  ByteBuffer buffer;
  ASSERT_TRUE(buffer.DecodeBase64("YWJj"));
  EXPECT_FALSE(buffer.DecodeBase64(""));
  EXPECT_TRUE(buffer.empty());
  EXPECT_FALSE(buffer.DecodeBase64(nullptr));
  // Only line breaks: the body is not empty, but no group starts; true with nothing decoded.
  EXPECT_TRUE(buffer.DecodeBase64("\r\n  \n"));
  EXPECT_TRUE(buffer.empty());
  EXPECT_TRUE(WellFormed(buffer));
}

TEST(Base64Test, OneByteResultsKeepTwoZeroBytesAfterThem) {
  ByteBuffer buffer;
  ASSERT_TRUE(buffer.DecodeBase64("/w=="));
  ASSERT_EQ(buffer.length(), 1);
  EXPECT_EQ(buffer.data()[0], 0xff);
  EXPECT_TRUE(WellFormed(buffer));
  // A long input with many line breaks leaves spare storage: it must be zero too.
  std::string text;
  for (int i = 0; i < 100; ++i) text += "/w==\r\n\r\n\r\n";
  ASSERT_TRUE(buffer.DecodeBase64(text.c_str()));
  EXPECT_EQ(Content(buffer), Bytes(100, 0xff));
  EXPECT_TRUE(WellFormed(buffer));
}

TEST(CodecHexTest, UpperCaseDigitsAgreeWithPrintf) {
  ByteBuffer buffer;
  const unsigned char sample[] = {0x00, 0xAB, 0x0F};
  ASSERT_TRUE(buffer.EncodeHex(sample, 3));
  EXPECT_EQ(Text(buffer), "00AB0F");
  EXPECT_TRUE(WellFormed(buffer));

  Bytes all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<unsigned char>(i);
  ASSERT_TRUE(buffer.EncodeHex(all.data(), 256));
  std::string expected;
  for (unsigned char b : all) {
    char two[3];
    std::snprintf(two, sizeof two, "%02X", b);
    expected += two;
  }
  EXPECT_EQ(Text(buffer), expected);
  EXPECT_TRUE(WellFormed(buffer));

  EXPECT_FALSE(buffer.EncodeHex(sample, 0));
  EXPECT_TRUE(buffer.empty());
  EXPECT_FALSE(buffer.EncodeHex(nullptr, 3));
  EXPECT_TRUE(WellFormed(buffer));
}

}  // namespace
}  // namespace zyq
