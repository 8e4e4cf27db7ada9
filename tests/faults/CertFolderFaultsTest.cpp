// RegisterPfx when the default certificate folder cannot take the copy: an error code, no
// registration record, and nothing half-written in the folder.
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "tests/faults/FaultTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::test {
namespace {

const std::string kPassword = "pw-D-2468";

std::filesystem::path FsPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

class CertFolderFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(chmod(TestRoot().c_str(), 0711), 0);
    user = MakeUserPfx({.commonName = "D400000004", .password = kPassword, .fileName = "d.pfx"});
    ASSERT_FALSE(user.path.empty());
  }

  // The registration fails with a code and leaves no record.
  void ExpectRefusedWithoutRecord(const BatchAnswer& answer) {
    ASSERT_TRUE(answer.answered) << "the process died";
    EXPECT_NE(answer.code, 0);
    EXPECT_NE(QueryFresh("D400000004").code, 0) << "a record was written";
  }

  UserPfx user;
};

TEST_F(CertFolderFaultsTest, AFileWhereTheFolderShouldBe) {
  const std::string folder = DefaultCertFolderUtf8();
  ASSERT_TRUE(WriteFile(folder, "not a folder"));
  BatchProcess batch;
  const BatchAnswer answer = Register(batch, user, kPassword, 1);
  EXPECT_TRUE(EndedCleanly(batch.Finish()));
  ExpectRefusedWithoutRecord(answer);
  EXPECT_EQ(ReadFile(folder), "not a folder");
  // Nothing else appeared next to it.
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(HomeFolder())) {
    ++entries;
    EXPECT_EQ(entry.path(), FsPath(folder));
  }
  EXPECT_EQ(entries, 1);
}

TEST_F(CertFolderFaultsTest, AFolderThatCannotBeWritten) {
  const std::string folder = DefaultCertFolderUtf8();
  std::filesystem::create_directories(FsPath(folder));
  const bool asNobody = RunningAsRoot();
  if (asNobody) {
    // nobody owns the state and the home folder, but not the certificate folder in it.
    ChownTree(StateFolder(), 65534, 65534);
    ASSERT_EQ(lchown(HomeFolder().c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
  } else {
    ASSERT_EQ(chmod(folder.c_str(), 0500), 0);
  }
  BatchAnswer answer;
  {
    BatchProcess batch({.asNobody = asNobody});
    answer = Register(batch, user, kPassword, 1);
    EXPECT_TRUE(EndedCleanly(batch.Finish()));
  }
  if (asNobody) {
    ChownTree(StateFolder(), 0, 0);
    ASSERT_EQ(lchown(HomeFolder().c_str(), 0, 0), 0);
  } else {
    ASSERT_EQ(chmod(folder.c_str(), 0700), 0);
  }
  ExpectRefusedWithoutRecord(answer);
  EXPECT_TRUE(std::filesystem::is_empty(FsPath(folder))) << "something was left in the folder";
}

}  // namespace
}  // namespace zyq::test
