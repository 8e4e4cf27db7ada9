#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <random>

#include "engine/SecurityEngine.h"
#include "platform/Text.h"
#include "tests/host/DigestReference.h"

namespace zyq {
namespace {

using platform::Bstr;

using test::ReferenceDigestHex;

std::string Utf16Bytes(std::u16string_view text) {
  std::string bytes;
  for (char16_t u : text) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  return bytes;
}

std::u16string Hash(SecurityEngine& engine, std::u16string_view text, int32_t flags) {
  Bstr result = engine.Hash(Bstr::FromView(text), flags);
  return std::u16string(result.View());
}

TEST(DigestOperationsTest, HashOfAbcUnderEveryFlag) {
  SecurityEngine engine;
  EXPECT_EQ(Hash(engine, u"abc", 0x12), u"A9993E364706816ABA3E25717850C26C9CD0D89D");
  EXPECT_EQ(Hash(engine, u"abc", 2), ReferenceDigestHex(EVP_sha1(), std::string("a\0b\0c\0", 6)));
  EXPECT_EQ(Hash(engine, u"abc", 0x11), u"900150983CD24FB0D6963F7D28E17F72");
  EXPECT_EQ(Hash(engine, u"abc", 0x13),
            u"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
  EXPECT_EQ(Hash(engine, u"abc", 0x14), ReferenceDigestHex(EVP_sha512(), "abc"));
  for (int32_t flags : {0, 2, 5, 6, 7, 0x10, 0x15, 0x16, 0x17}) {
    EXPECT_EQ(Hash(engine, u"abc", flags).size(), 40u) << flags;
  }
  EXPECT_EQ(Hash(engine, u"abc", 1).size(), 32u);
  EXPECT_EQ(Hash(engine, u"abc", 3).size(), 64u);
  EXPECT_EQ(Hash(engine, u"abc", 4).size(), 128u);
  // Other bits are ignored.
  EXPECT_EQ(Hash(engine, u"abc", 0x7FFFFF12), Hash(engine, u"abc", 0x12));
  EXPECT_EQ(Hash(engine, u"abc", (-8 & ~0x10) | 1), Hash(engine, u"abc", 1));
  EXPECT_EQ(engine.GetErrorCode(), 0);
}

TEST(DigestOperationsTest, EmptyTextGives5005WhateverTheFlags) {
  SecurityEngine engine;
  for (int32_t flags : {0, 1, 0x13, 0x14}) {
    EXPECT_EQ(Hash(engine, u"", flags), u"");
    EXPECT_EQ(engine.GetErrorCode(), 5005);
    EXPECT_EQ(engine.Hash(Bstr(), flags).View(), u"");
    EXPECT_EQ(engine.GetErrorCode(), 5005);
  }
  EXPECT_EQ(engine.GetCapiErrorCode(), 0);
}

TEST(DigestOperationsTest, TextForms) {
  SecurityEngine engine;
  // Chinese text in code page 950 bytes with 0x10, UTF-16 code units without.
  const std::u16string text = u"證券 A";
  EXPECT_EQ(Hash(engine, text, 0x13), ReferenceDigestHex(EVP_sha256(), platform::WideToAnsi(text)));
  EXPECT_EQ(Hash(engine, text, 3), ReferenceDigestHex(EVP_sha256(), Utf16Bytes(text)));
  // Characters code page 950 cannot hold become "?"; lone surrogates too, in ANSI form, while the
  // UTF-16 form hashes the code units as they are.
  const std::u16string odd = u"x\xD800y\xDC00€😀";
  EXPECT_EQ(Hash(engine, odd, 0x10), ReferenceDigestHex(EVP_sha1(), platform::WideToAnsi(odd)));
  EXPECT_EQ(Hash(engine, odd, 0), ReferenceDigestHex(EVP_sha1(), Utf16Bytes(odd)));
  // An embedded NUL ends the ANSI text, but the UTF-16 form takes every code unit.
  const std::u16string nul(u"ab\0cd", 5);
  EXPECT_EQ(Hash(engine, nul, 0x10), ReferenceDigestHex(EVP_sha1(), "ab"));
  EXPECT_EQ(Hash(engine, nul, 0), ReferenceDigestHex(EVP_sha1(), Utf16Bytes(nul)));
  // A text that begins with NUL is not empty: its ANSI form is, and hashes as the empty message.
  EXPECT_EQ(Hash(engine, std::u16string(u"\0x", 2), 0x10), ReferenceDigestHex(EVP_sha1(), ""));
  EXPECT_EQ(engine.GetErrorCode(), 0);
}

TEST(DigestOperationsTest, PaddingBoundariesAndLongTexts) {
  SecurityEngine engine;
  std::mt19937 random(7);
  for (size_t n : {1u, 55u, 56u, 63u, 64u, 111u, 112u, 127u, 128u, 1000u, 1u << 20}) {
    std::u16string text(n, u'a');
    for (char16_t& c : text) c = static_cast<char16_t>(u'a' + random() % 26);
    const std::string ansi = platform::WideToAnsi(text);
    EXPECT_EQ(Hash(engine, text, 0x11), ReferenceDigestHex(EVP_md5(), ansi)) << n;
    EXPECT_EQ(Hash(engine, text, 0x12), ReferenceDigestHex(EVP_sha1(), ansi)) << n;
    EXPECT_EQ(Hash(engine, text, 0x13), ReferenceDigestHex(EVP_sha256(), ansi)) << n;
    EXPECT_EQ(Hash(engine, text, 0x14), ReferenceDigestHex(EVP_sha512(), ansi)) << n;
    EXPECT_EQ(Hash(engine, text, 4), ReferenceDigestHex(EVP_sha512(), Utf16Bytes(text))) << n;
  }
}

}  // namespace
}  // namespace zyq
