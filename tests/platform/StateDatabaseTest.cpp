#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "platform/posix/StateDatabase.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::platform::posix {
namespace {

TEST(StateDatabaseTest, CreatesPrivateFolderAndFile) {
  SysError err = 0;
  StateDatabase* db = StateDatabase::Open(&err);
  ASSERT_NE(db, nullptr) << err;
  struct stat st {};
  ASSERT_EQ(stat(StateFolderPath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(stat((StateFolderPath() + "/state.db").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(StateDatabaseTest, FailedTransactionLeavesNothing) {
  StateDatabase* db = StateDatabase::Open();
  ASSERT_NE(db, nullptr);
  ASSERT_EQ(db->Exec("CREATE TABLE t (v INTEGER)"), kErrorSuccess);
  const SysError err = db->Transaction([&] {
    Statement(db->handle(), "INSERT INTO t VALUES (1)").Step();
    return kErrorAccessDenied;
  });
  EXPECT_EQ(err, kErrorAccessDenied);
  Statement count(db->handle(), "SELECT COUNT(*) FROM t");
  ASSERT_EQ(count.Step(), SQLITE_ROW);
  EXPECT_EQ(count.ColumnInt(0), 0);
}

TEST(StateDatabaseTest, ReopensWhenTheStateFolderChanges) {
  StateDatabase* first = StateDatabase::Open();
  ASSERT_NE(first, nullptr);
  const std::string other = test::TestRoot() + "/other-state";
  setenv("ZYQSEC_HOME", other.c_str(), 1);
  StateDatabase* second = StateDatabase::Open();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->folder(), other);
}

TEST(StateDatabaseTest, UnwritableFolderGivesAnError) {
  if (geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
  const std::string locked = test::TestRoot() + "/locked";
  ASSERT_EQ(mkdir(locked.c_str(), 0500), 0);
  setenv("ZYQSEC_HOME", (locked + "/state").c_str(), 1);
  SysError err = 0;
  EXPECT_EQ(StateDatabase::Open(&err), nullptr);
  EXPECT_EQ(err, kErrorAccessDenied);
}

}  // namespace
}  // namespace zyq::platform::posix
