// The split of name texts into components and the containment and exact match rules.
#include <gtest/gtest.h>

#include "cert/NameComponents.h"

namespace zyq {
namespace {

NameComponents Split(std::string_view text) {
  NameComponents out{"left over"};
  SplitNameComponents(text, &out);
  return out;
}

using C = NameComponents;

TEST(SplitNameComponentsTest, CommasInsideValuesAreJoinedBack) {
  EXPECT_EQ(Split("C=TW, O=Bank, Inc., CN=Wang"), (C{"C=TW", "O=Bank, Inc.", "CN=Wang"}));
  EXPECT_EQ(Split("O=A,,B,C=TW"), (C{"O=A,B", "C=TW"}));
  EXPECT_EQ(Split("CN=Wang, Jr."), (C{"CN=Wang, Jr."}));
  // A piece without '=' before any component starts one of its own.
  EXPECT_EQ(Split("loose, CN=Wang"), (C{",loose", "CN=Wang"}));
}

TEST(SplitNameComponentsTest, LineBreaksAndBackslashN) {
  EXPECT_EQ(Split("C=TW\\nO=Bank\\nCN=Wang"), (C{"C=TW", "O=Bank", "CN=Wang"}));
  EXPECT_EQ(Split("C=TW\r\nO=Bank\nCN=Wang\r\n"), (C{"C=TW", "O=Bank", "CN=Wang"}));
  EXPECT_EQ(Split("CN=Wa\rng"), (C{"CN=Wang"}));
  // A backslash followed by another letter stays.
  EXPECT_EQ(Split("CN=a\\tb"), (C{"CN=a\\tb"}));
  // The Big5 character 0xB3 0x5C ends in a backslash byte: followed by 'n' it is not a break.
  EXPECT_EQ(Split("CN=\xB3\x5Cn, O=X"), (C{"CN=\xB3\x5Cn", "O=X"}));
}

TEST(SplitNameComponentsTest, SpacesAroundEqualsAndEmptyResults) {
  EXPECT_EQ(Split("  CN = Wang ,  O= Bank  "), (C{"CN=Wang", "O=Bank"}));
  // One pass of each replacement: a double space before '=' keeps one space.
  EXPECT_EQ(Split("CN  =Wang"), (C{"CN =Wang"}));
  EXPECT_EQ(Split("\tCN=Wang\t"), (C{"CN=Wang"}));
  EXPECT_EQ(Split(""), C{});
  EXPECT_EQ(Split(",,,"), C{});
  EXPECT_EQ(Split(",\\n,\r\n,"), C{});
}

TEST(AnsiFindTest, MatchesOnlyOnCharacterBoundaries) {
  EXPECT_EQ(AnsiFind("CN=Wang", "Wang"), 3u);
  EXPECT_EQ(AnsiFind("CN=Wang", ""), 0u);
  EXPECT_EQ(AnsiFind("CN=Wang", "wang"), std::string_view::npos);
  // 0xA4 0x53 is one Big5 character whose trail byte is 'S'.
  EXPECT_EQ(AnsiFind("\xA4SN=1", "SN="), std::string_view::npos);
  EXPECT_EQ(AnsiFind("\xA4SN=1 SN=2", "SN="), 6u);
}

TEST(MatchNamesContainingTest, EachTypedFilterComponentMustBeFound) {
  const C mrWang = {"C=TW", "O=Bank", "CN=Mr Wang"};
  EXPECT_TRUE(MatchNamesContaining({"CN=Wang"}, mrWang));
  EXPECT_TRUE(MatchNamesContaining({"CN=Wang"}, {"CN=Wang Da"}));
  EXPECT_TRUE(MatchNamesContaining({"CN=Wang", "C=TW"}, mrWang));
  EXPECT_FALSE(MatchNamesContaining({"CN=Wang", "C=JP"}, mrWang));
  EXPECT_FALSE(MatchNamesContaining({"CN=Lee"}, mrWang));
  EXPECT_TRUE(MatchNamesContaining({"O=Bank"}, {"O=Bank Ltd", "CN=x"}));
  EXPECT_FALSE(MatchNamesContaining({"OU=Bank"}, mrWang));
  // Matching is case-sensitive for names.
  EXPECT_FALSE(MatchNamesContaining({"CN=wang"}, mrWang));
}

TEST(MatchNamesContainingTest, EmptyValuesOtherTypesAndEmptyLists) {
  EXPECT_FALSE(MatchNamesContaining({"CN="}, {"CN=Wang"}));
  EXPECT_FALSE(MatchNamesContaining({"CN=Wang", "O="}, {"CN=Wang", "O=Bank"}));
  // Components of other types are passed over but cannot make a match alone.
  EXPECT_FALSE(MatchNamesContaining({"E=wang@example.com"}, {"E=wang@example.com"}));
  EXPECT_TRUE(MatchNamesContaining({"E=nobody", "CN=Wang"}, {"CN=Wang"}));
  EXPECT_FALSE(MatchNamesContaining({}, {"CN=Wang"}));
  EXPECT_FALSE(MatchNamesContaining({"CN=Wang"}, {}));
}

TEST(MatchNamesContainingTest, SerialNumberIsMatchedInUpperCase) {
  const C cert = {"CN=Wang", "SN=00A1B2C3"};
  EXPECT_TRUE(MatchNamesContaining({"SN=a1b2"}, cert));
  EXPECT_TRUE(MatchNamesContaining({"CN=Wang", "SN=00A1B2C3"}, cert));
  EXPECT_FALSE(MatchNamesContaining({"SN=FF"}, cert));
  EXPECT_FALSE(MatchNamesContaining({"SN="}, cert));
}

TEST(MatchNamesExactTest, EveryNameComponentOfTheCertificateMustStandInTheFilter) {
  EXPECT_TRUE(MatchNamesExact({"CN=Wang"}, {"CN=Wang"}));
  EXPECT_FALSE(MatchNamesExact({"CN=Wang"}, {"CN=Mr Wang"}));
  EXPECT_FALSE(MatchNamesExact({"CN=Wang"}, {"C=TW", "CN=Wang"}));
  EXPECT_TRUE(MatchNamesExact({"CN=Wang", "O=Bank, Inc.", "C=TW", "OU=Extra"},
                              {"C=TW", "O=Bank, Inc.", "CN=Wang"}));
  EXPECT_FALSE(MatchNamesExact({"CN=wang"}, {"CN=Wang"}));
  // Every CN of the certificate must be there.
  EXPECT_FALSE(MatchNamesExact({"CN=Wang"}, {"CN=Wang", "CN=Other"}));
  // Components of other types are passed over on both sides.
  EXPECT_TRUE(MatchNamesExact({"CN=Wang"}, {"CN=Wang", "E=wang@example.com", "L=Taipei"}));
  EXPECT_FALSE(MatchNamesExact({"E=wang@example.com"}, {"E=wang@example.com"}));
  EXPECT_FALSE(MatchNamesExact({}, {"CN=Wang"}));
  EXPECT_FALSE(MatchNamesExact({"CN=Wang"}, {}));
}

TEST(MatchNamesExactTest, SerialComponentIsMatchedByContainment) {
  const C cert = {"CN=Wang", "SN=0A1B"};
  EXPECT_TRUE(MatchNamesExact({"CN=Wang", "SN=0a1b"}, cert));
  EXPECT_TRUE(MatchNamesExact({"SN=1B", "CN=Wang"}, cert));
  EXPECT_FALSE(MatchNamesExact({"CN=Wang", "SN=FF"}, cert));
  EXPECT_FALSE(MatchNamesExact({"CN=Wang"}, cert));
}

}  // namespace
}  // namespace zyq
