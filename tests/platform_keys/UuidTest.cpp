#include "platform/Uuid.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/support/UuidText.h"

namespace zyq::platform {
namespace {

TEST(UuidTest, UpperCaseVersionFourTextAndNoRepeats) {
  std::set<std::string> seen;
  for (int i = 0; i < 1000; ++i) {
    std::string text;
    ASSERT_EQ(NewUuidString(&text), kErrorSuccess);
    ASSERT_TRUE(test::IsUpperCaseUuidText(text)) << text;
    // Version 4, variant 10xx.
    ASSERT_EQ(text[14], '4') << text;
    ASSERT_NE(std::string_view("89AB").find(text[19]), std::string_view::npos) << text;
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 1000u);
}

}  // namespace
}  // namespace zyq::platform
