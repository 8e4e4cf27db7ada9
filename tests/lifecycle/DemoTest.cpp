// `zyqsec demo` as a user runs it: every step succeeds, both signatures are checked twice, the
// second round of signatures asks nothing, and nothing is left behind in the temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/TestEnvironment.h"

namespace zyq::test {
namespace {

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(DemoTest, WholeLifecycleRunsInAFolderOfItsOwn) {
  const std::string tmp = TestRoot() + "/demo-tmp";
  std::filesystem::create_directories(tmp);
  std::string out;
  // No display, no input: the demo answers its own dialogs.
  const int status = RunCommand(
      "env -u DISPLAY TMPDIR='" + tmp + "' '" ZYQ_ZYQSEC_PATH "' demo < /dev/null", &out);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("All 9 steps succeeded."), std::string::npos) << out;
  EXPECT_EQ(Count(out, "signature valid"), 4u) << out;
  EXPECT_EQ(Count(out, "SIGNATURE INVALID"), 0u);
  // The export asked for its password through the file dialog; the later signatures asked
  // nothing.
  EXPECT_NE(out.find("dialog 202"), std::string::npos) << out;
  EXPECT_EQ(Count(out, "no dialog was shown"), 3u) << out;
  EXPECT_NE(out.find("modulus equals the certificate's"), std::string::npos) << out;
  // Passwords are not printed.
  EXPECT_EQ(out.find("Demo#2024"), std::string::npos);
  EXPECT_EQ(out.find("Trade#2025"), std::string::npos);
  // The sandbox is removed afterwards.
  EXPECT_TRUE(std::filesystem::is_empty(tmp)) << out;
}

}  // namespace
}  // namespace zyq::test
