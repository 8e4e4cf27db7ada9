#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/ByteBuffer.h"
#include "tests/codec/BufferChecks.h"
#include "tests/codec/OpenSslReference.h"
#include "tests/support/TestEnvironment.h"

namespace zyq {
namespace {

using test::Bytes;
using test::Content;
using test::WellFormed;

TEST(ByteBufferTest, AllocateHoldsZerosAndRefusesNonPositiveSizes) {
  ByteBuffer buffer;
  EXPECT_TRUE(WellFormed(buffer));
  EXPECT_EQ(buffer.data(), nullptr);
  ASSERT_TRUE(buffer.Allocate(5));
  EXPECT_EQ(Content(buffer), Bytes(5, 0));
  EXPECT_TRUE(WellFormed(buffer));

  buffer.data()[0] = 7;
  EXPECT_FALSE(buffer.Allocate(0));
  EXPECT_TRUE(buffer.empty());
  EXPECT_TRUE(WellFormed(buffer));
  EXPECT_FALSE(buffer.Allocate(-3));
  EXPECT_TRUE(WellFormed(buffer));

  ByteBuffer sized(3);
  EXPECT_EQ(Content(sized), Bytes(3, 0));
  ByteBuffer none(0);
  EXPECT_TRUE(WellFormed(none));
  EXPECT_TRUE(none.empty());
}

TEST(ByteBufferTest, AppendGrowsKeepingContentAndTrailingZeros) {
  ByteBuffer buffer;
  const Bytes data = test::RandomBytes(5000, 1);
  Bytes expected;
  // Pieces of every size from 1 up: growth must keep every byte and the zeros after them.
  std::size_t pos = 0;
  for (int piece = 1; pos + piece <= data.size(); ++piece) {
    ASSERT_TRUE(buffer.Append(data.data() + pos, piece));
    expected.insert(expected.end(), data.begin() + pos, data.begin() + pos + piece);
    pos += piece;
    ASSERT_TRUE(WellFormed(buffer)) << "after " << pos << " bytes";
  }
  EXPECT_EQ(Content(buffer), expected);

  // Refused appends leave the buffer as it was.
  EXPECT_FALSE(buffer.Append(nullptr, 4));
  EXPECT_FALSE(buffer.Append(data.data(), 0));
  EXPECT_FALSE(buffer.Append(data.data(), -1));
  EXPECT_EQ(Content(buffer), expected);
}

TEST(ByteBufferTest, AppendOfItsOwnContentDoublesIt) {
  ByteBuffer buffer;
  const unsigned char abc[] = {'a', 'b', 'c'};
  ASSERT_TRUE(buffer.Append(abc, 3));
  for (int i = 0; i < 12; ++i) ASSERT_TRUE(buffer.Append(buffer.data(), buffer.length()));
  ASSERT_EQ(buffer.length(), 3 << 12);
  for (int i = 0; i < buffer.length(); ++i) ASSERT_EQ(buffer.data()[i], abc[i % 3]);
  EXPECT_TRUE(WellFormed(buffer));
}

TEST(ByteBufferTest, AssignReversedReversesOrEmpties) {
  ByteBuffer buffer;
  const unsigned char src[] = {1, 2, 3};
  ASSERT_TRUE(buffer.AssignReversed(src, 3));
  EXPECT_EQ(Content(buffer), (Bytes{3, 2, 1}));
  EXPECT_TRUE(WellFormed(buffer));

  EXPECT_FALSE(buffer.AssignReversed(nullptr, 3));
  EXPECT_TRUE(buffer.empty());
  ASSERT_TRUE(buffer.AssignReversed(src, 1));
  EXPECT_EQ(Content(buffer), (Bytes{1}));
  EXPECT_FALSE(buffer.AssignReversed(src, 0));
  EXPECT_TRUE(buffer.empty());
  EXPECT_TRUE(WellFormed(buffer));
}

TEST(ByteBufferTest, TruncateShortensAndMoveTransfersOwnership) {
  ByteBuffer buffer;
  const unsigned char src[] = {9, 8, 7, 6, 5};
  ASSERT_TRUE(buffer.Append(src, 5));
  EXPECT_FALSE(buffer.Truncate(6));
  EXPECT_EQ(buffer.length(), 5);
  ASSERT_TRUE(buffer.Truncate(2));
  EXPECT_EQ(Content(buffer), (Bytes{9, 8}));
  EXPECT_TRUE(WellFormed(buffer));
  // The bytes that went are zero, not left behind after the terminator.
  EXPECT_EQ(buffer.data()[2], 0);
  EXPECT_EQ(buffer.data()[3], 0);
  EXPECT_EQ(buffer.data()[4], 0);

  ByteBuffer moved(std::move(buffer));
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(buffer.data(), nullptr);
  EXPECT_EQ(Content(moved), (Bytes{9, 8}));
  ByteBuffer assigned;
  assigned = std::move(moved);
  EXPECT_EQ(Content(assigned), (Bytes{9, 8}));
  EXPECT_TRUE(moved.empty());
  EXPECT_EQ(assigned.view(), std::string_view("\x09\x08", 2));

  ASSERT_TRUE(assigned.Truncate(0));
  EXPECT_EQ(assigned.data(), nullptr);
  EXPECT_STREQ(assigned.c_str(), "");
}

// A buffer that is filled again may keep its storage; nothing of the old content may show,
// neither in the new content nor in the two bytes after it.
TEST(ByteBufferTest, RefillingLeavesNoStaleBytes) {
  const Bytes ones(30, 0xFF);
  ByteBuffer buffer;
  ASSERT_TRUE(buffer.Append(ones.data(), 30));
  ASSERT_TRUE(buffer.Allocate(20));
  EXPECT_EQ(Content(buffer), Bytes(20, 0));
  EXPECT_TRUE(WellFormed(buffer));

  ASSERT_TRUE(buffer.Append(ones.data(), 10));
  ASSERT_TRUE(buffer.DecodeBase64("YWJjYWJjYQ=="));
  EXPECT_EQ(test::Text(buffer), "abcabca");
  EXPECT_TRUE(WellFormed(buffer));

  ASSERT_TRUE(buffer.Append(ones.data(), 30));
  ASSERT_TRUE(buffer.EncodeHex(ones.data(), 12));
  EXPECT_EQ(test::Text(buffer), "FFFFFFFFFFFFFFFFFFFFFFFF");
  EXPECT_TRUE(WellFormed(buffer));
  ASSERT_TRUE(buffer.EncodeBase64("a", 1));
  EXPECT_EQ(test::Text(buffer), "YQ==");
  EXPECT_TRUE(WellFormed(buffer));

  ASSERT_TRUE(buffer.Append(ones.data(), 30));
  const unsigned char three[] = {1, 2, 3};
  ASSERT_TRUE(buffer.AssignReversed(three, 3));
  EXPECT_EQ(Content(buffer), (Bytes{3, 2, 1}));
  EXPECT_TRUE(WellFormed(buffer));
}

}  // namespace
}  // namespace zyq
