#include <gtest/gtest.h>

#include "platform/Text.h"

namespace zyq::platform {
namespace {

TEST(TextTest, Big5RoundTripsChineseAndAscii) {
  ASSERT_EQ(AnsiCodePage(), 950u);
  const std::u16string wide = u"ZYQ證券 成功";
  const std::string ansi = WideToAnsi(wide);
  // 證 = C3 D2, 券 = A8 E9, 成 = A6 A8, 功 = A5 5C in code page 950.
  EXPECT_EQ(ansi, std::string("ZYQ\xC3\xD2\xA8\xE9 \xA6\xA8\xA5\x5C"));
  EXPECT_EQ(AnsiToWide(ansi), wide);
}

TEST(TextTest, UnmappableCharactersBecomeQuestionMarks) {
  // U+00E9 and the emoji (a surrogate pair) have no code page 950 form; a lone surrogate either.
  EXPECT_EQ(WideToAnsi(u"a\u00e9b\U0001F600c"), "a?b?c");
  const char16_t lone[] = {u'x', 0xD800, u'y', 0xDC00, 0};
  EXPECT_EQ(WideToAnsi(lone), "x?y?");
  // A lead byte without a trail byte, and an invalid trail byte.
  EXPECT_EQ(AnsiToWide(std::string("a\xA9")), u"a?");
  EXPECT_EQ(AnsiToWide(std::string("\xA9\x01z")), u"?\x01z");
}

TEST(TextTest, Utf8HandlesSurrogatesAndInvalidBytes) {
  EXPECT_EQ(WideToUtf8(u"證\U0001F600"), "\xE8\xAD\x89\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8ToWide("\xE8\xAD\x89\xF0\x9F\x98\x80"), u"證\U0001F600");
  const char16_t lone[] = {0xDC00, 0};
  EXPECT_EQ(WideToUtf8(lone), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf8ToWide("a\xC0\x80"
                       "b\xE8\xAD"),
            u"a\uFFFD\uFFFDb\uFFFD");
}

TEST(TextTest, UpperCaseLeavesDoubleByteCharactersAlone) {
  // The trail byte of 功 (A5 5C) is a backslash and of 程 (B5 7B) '{': neither changes;
  // a trail byte that is a lower-case letter (A4 61) must not change either.
  const std::string mixed = std::string("a1b\xA4\x61z\xB5{");
  EXPECT_EQ(AnsiUpperCase(mixed), std::string("A1B\xA4\x61Z\xB5{"));
  EXPECT_TRUE(IsAnsiLeadByte(0xA4));
  EXPECT_FALSE(IsAnsiLeadByte('a'));
}

}  // namespace
}  // namespace zyq::platform
