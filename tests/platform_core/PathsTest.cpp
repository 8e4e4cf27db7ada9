#include <gtest/gtest.h>

#include "platform/Paths.h"
#include "platform/Text.h"

namespace zyq::platform {
namespace {

// "許" is B3 5C in code page 950: its second byte is the byte of "\".
const std::string kXu = Utf8ToAnsi("許");

TEST(PathsTest, TheCodePageHasADoubleByteCharacterEndingInBackslashByte) {
  ASSERT_EQ(kXu.size(), 2u);
  ASSERT_EQ(kXu[1], '\\');
}

TEST(PathsTest, WindowsSplitFollowsTheThreeCharacterRule) {
  auto check = [](std::string_view path, std::string_view folder, std::string_view name) {
    const PathParts parts = SplitWindowsPath(path);
    EXPECT_EQ(parts.folder, folder) << path;
    EXPECT_EQ(parts.name, name) << path;
  };
  check("C:\\a.pfx", "C:\\", "a.pfx");
  check("D:\\certs\\a.pfx", "D:\\certs", "a.pfx");
  check("D:\\certs\\", "D:\\certs", "");
  check("a.pfx", "a.p", "fx");  // no backslash: the first three characters are the folder
  check("ab", "ab", "");
  check("", "", "");
  check("\\\\server\\share\\x.pfx", "\\\\server\\share", "x.pfx");
}

TEST(PathsTest, WindowsRulesSkipTheTrailByteOfDoubleByteCharacters) {
  const std::string folder = "C:\\" + kXu;  // ends in the byte 0x5C, which is no separator
  EXPECT_FALSE(EndsWithBackslash(folder));
  EXPECT_EQ(FindLastBackslash(folder), 2u);
  EXPECT_EQ(AppendWindowsName(folder, "a.pfx"), folder + "\\a.pfx");
  const PathParts parts = SplitWindowsPath(folder + "\\a" + kXu);
  EXPECT_EQ(parts.folder, folder);
  EXPECT_EQ(parts.name, "a" + kXu);
}

TEST(PathsTest, WindowsJoins) {
  EXPECT_EQ(JoinWindowsPath("C:\\", "a.pfx"), "C:\\a.pfx");
  EXPECT_EQ(JoinWindowsPath("C:", "a.pfx"), "C:a.pfx");
  EXPECT_EQ(JoinWindowsPath("C:\\certs", "a.pfx"), "C:\\certs\\a.pfx");
  EXPECT_EQ(AppendWindowsName("C:\\", "a.pfx"), "C:\\a.pfx");
  EXPECT_EQ(AppendWindowsName("C:\\certs", "a.pfx"), "C:\\certs\\a.pfx");
  // Joining the parts of a split gives the path back.
  for (std::string path : {"C:\\a.pfx", "D:\\certs\\a.pfx", "E:\\x\\y\\z"}) {
    const PathParts parts = SplitWindowsPath(path);
    EXPECT_EQ(JoinWindowsPath(parts.folder, parts.name), path);
  }
}

TEST(PathsTest, PosixRules) {
  EXPECT_EQ(JoinPosixPath("/home/u", "ZYQ"), "/home/u/ZYQ");
  EXPECT_EQ(JoinPosixPath("/home/u/", "ZYQ"), "/home/u/ZYQ");
  EXPECT_EQ(JoinPosixPath("/", "ZYQ"), "/ZYQ");
  EXPECT_EQ(JoinPosixPath("", "ZYQ"), "/ZYQ");
  auto check = [](std::string_view path, std::string_view folder, std::string_view name) {
    const PathParts parts = SplitPosixPath(path);
    EXPECT_EQ(parts.folder, folder) << path;
    EXPECT_EQ(parts.name, name) << path;
  };
  check("/home/u/a.pfx", "/home/u", "a.pfx");
  check("/a.pfx", "/", "a.pfx");
  check("a.pfx", "", "a.pfx");
  check("/home/u/", "/home/u", "");
  check("dir/" + kXu, "dir", kXu);  // "/" is never part of a double-byte character
  for (std::string path : {"/home/u/a.pfx", "/a.pfx", "rel/x"}) {
    const PathParts parts = SplitPosixPath(path);
    EXPECT_EQ(JoinPosixPath(parts.folder, parts.name), path);
  }
  EXPECT_EQ(JoinPath("/x", "y"), JoinPosixPath("/x", "y"));
}

}  // namespace
}  // namespace zyq::platform
