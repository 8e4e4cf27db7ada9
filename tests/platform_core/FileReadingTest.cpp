// Reading a file in pieces through the platform port: the pieces, their order and sizes, and
// the codes for what cannot be read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::platform {
namespace {

struct Pieces {
  std::vector<size_t> sizes;
  std::string bytes;
};

SysError Read(std::string_view path, size_t blockSize, Pieces* out) {
  return DefaultFileSystem().ReadFileInBlocks(
      path, blockSize, [out](const unsigned char* data, size_t n) {
        out->sizes.push_back(n);
        out->bytes.append(reinterpret_cast<const char*>(data), n);
      });
}

std::string Pattern(size_t n) {
  std::string bytes(n, '\0');
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
  return bytes;
}

class FileReadingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::TestRoot() + "/read-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::create_directories(dir_);
  }
  std::string dir_;
};

TEST_F(FileReadingTest, WholePiecesInOrderThenTheRest) {
  struct Case {
    size_t size;
    std::vector<size_t> pieces;
  };
  const std::vector<Case> cases = {
      {0, {}},
      {1, {1}},
      {999, {999}},
      {1000, {1000}},
      {1001, {1000, 1}},
      {2000, {1000, 1000}},
      {3005, {1000, 1000, 1000, 5}},
  };
  for (const Case& c : cases) {
    const std::string path = dir_ + "/f" + std::to_string(c.size);
    const std::string bytes = Pattern(c.size);
    ASSERT_TRUE(test::WriteFile(path, bytes));
    Pieces got;
    EXPECT_EQ(Read(path, 1000, &got), kErrorSuccess) << c.size;
    EXPECT_EQ(got.sizes, c.pieces) << c.size;
    EXPECT_TRUE(got.bytes == bytes) << c.size;
  }
  // One byte at a time, and a piece far larger than the file.
  const std::string path = dir_ + "/f3005";
  Pieces bytewise;
  EXPECT_EQ(Read(path, 1, &bytewise), kErrorSuccess);
  EXPECT_EQ(bytewise.sizes.size(), 3005u);
  EXPECT_TRUE(bytewise.bytes == Pattern(3005));
  Pieces large;
  EXPECT_EQ(Read(path, size_t{64} << 20, &large), kErrorSuccess);
  EXPECT_EQ(large.sizes, std::vector<size_t>{3005});
}

TEST_F(FileReadingTest, AnsiNamesReachTheSystemAsUtf8) {
  const std::string utf8 = dir_ + "/證券.bin";
  ASSERT_TRUE(test::WriteFile(utf8, "abc"));
  Pieces got;
  EXPECT_EQ(Read(Utf8ToAnsi(utf8), 4096, &got), kErrorSuccess);
  EXPECT_EQ(got.bytes, "abc");
}

TEST_F(FileReadingTest, WhatCannotBeReadGivesItsCodeAndNoPiece) {
  ASSERT_TRUE(test::WriteFile(dir_ + "/file", "abc"));
  const std::string fifo = dir_ + "/pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::string path;
    size_t blockSize;
    SysError expected;
  };
  const std::vector<Case> cases = {
      {dir_ + "/missing", 4096, kErrorFileNotFound},
      {dir_ + "/no-folder/file", 4096, kErrorPathNotFound},
      {dir_, 4096, kErrorAccessDenied},  // a folder
      {fifo, 4096, kErrorAccessDenied},  // a pipe without a writer: refused, not waited on
      {"", 4096, kErrorPathNotFound},
      {dir_ + "/file", 0, kErrorInvalidParameter},
  };
  for (const Case& c : cases) {
    Pieces got;
    EXPECT_EQ(Read(c.path, c.blockSize, &got), c.expected) << c.path;
    EXPECT_TRUE(got.sizes.empty()) << c.path;
  }
}

TEST_F(FileReadingTest, ReadErrorEndsTheReadingWithItsCode) {
  // The process's own memory file is a regular file whose first page is never mapped: reading
  // it from the start fails with an I/O error.
  Pieces got;
  EXPECT_EQ(Read("/proc/self/mem", 4096, &got), kErrorIoDevice);
  EXPECT_TRUE(got.bytes.empty());
}

TEST_F(FileReadingTest, FileWithoutReadPermissionIsRefused) {
  if (geteuid() == 0) GTEST_SKIP() << "root ignores file permissions";
  const std::string path = dir_ + "/locked";
  ASSERT_TRUE(test::WriteFile(path, "abc"));
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  Pieces got;
  EXPECT_EQ(Read(path, 4096, &got), kErrorAccessDenied);
  EXPECT_TRUE(got.sizes.empty());
}

}  // namespace
}  // namespace zyq::platform
