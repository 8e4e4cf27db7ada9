#include <gtest/gtest.h>

#include <cstring>

#include "platform/Bstr.h"

namespace zyq::platform {
namespace {

TEST(BstrTest, LayoutHasBytePrefixAndTwoZeroBytes) {
  Bstr b = Bstr::FromWide(u"abc");
  ASSERT_FALSE(b.IsNull());
  uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<const unsigned char*>(b.Get()) - 4, 4);
  EXPECT_EQ(prefix, 6u);
  EXPECT_EQ(b.Length(), 3u);
  EXPECT_EQ(b.Get()[3], u'\0');
}

TEST(BstrTest, NullAndEmptyAreDistinct) {
  Bstr null = Bstr::FromWide(nullptr);
  EXPECT_TRUE(null.IsNull());
  EXPECT_EQ(null.Length(), 0u);
  Bstr empty = Bstr::FromWide(u"");
  EXPECT_FALSE(empty.IsNull());
  EXPECT_TRUE(empty.Empty());
  EXPECT_FALSE(Bstr::FromAnsi("").IsNull());
}

TEST(BstrTest, EmbeddedNulIsKeptButAnsiStopsAtIt) {
  const char16_t text[] = {u'a', u'\0', u'b'};
  Bstr b = Bstr::FromView(std::u16string_view(text, 3));
  EXPECT_EQ(b.Length(), 3u);
  EXPECT_EQ(b.ToAnsi(), "a");
  EXPECT_EQ(Bstr::FromAnsi("\xA6\xA8\xA5\x5C").View(), u"成功");
}

TEST(BstrTest, MoveTransfersOwnershipAndReleaseHandsItOut) {
  Bstr a = Bstr::FromWide(u"x");
  Bstr b = std::move(a);
  EXPECT_TRUE(a.IsNull());  // NOLINT(bugprone-use-after-move): moved-from state is specified
  char16_t* raw = b.Release();
  EXPECT_TRUE(b.IsNull());
  EXPECT_EQ(BstrLength(raw), 1u);
  FreeBstr(raw);
}

}  // namespace
}  // namespace zyq::platform
