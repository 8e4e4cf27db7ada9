#include "platform/Uuid.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace zyq::platform {
namespace {

TEST(UuidTest, UpperCaseVersionFourTextAndNoRepeats) {
  const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  std::set<std::string> seen;
  for (int i = 0; i < 1000; ++i) {
    std::string text;
    ASSERT_EQ(NewUuidString(&text), kErrorSuccess);
    ASSERT_TRUE(std::regex_match(text, form)) << text;
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 1000u);
}

}  // namespace
}  // namespace zyq::platform
