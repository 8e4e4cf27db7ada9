#include "tests/faults/FaultTestSupport.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace zyq::test {

std::string StateFolder() {
  return std::getenv("ZYQSEC_HOME");
}

std::string HomeFolder() {
  return std::getenv("HOME");
}

BatchAnswer Register(BatchProcess& batch, const UserPfx& pfx, const std::string& password,
                     int mode) {
  return batch.Call("RegisterPfx", {BatchArg::Text(pfx.folder), BatchArg::Text(pfx.fileName),
                                    BatchArg::Text(password), BatchArg::Int(mode), BatchArg::Int(0),
                                    BatchArg::Int(0)});
}

Registration QueryFresh(const std::string& id) {
  BatchProcess batch;
  Registration r;
  const BatchAnswer query = batch.Call("QueryUserInfo", {BatchArg::Text(id)});
  const BatchAnswer mode = batch.Call("GetRegisterUserMode");
  EXPECT_TRUE(query.answered && mode.answered);
  r.code = query.code;
  r.mode = static_cast<int32_t>(mode.resultInt);
  EXPECT_TRUE(EndedCleanly(batch.Finish()));
  return r;
}

std::string ReadValueFresh(const std::string& name) {
  BatchProcess batch;
  const BatchAnswer a = batch.Call("RegReadHKCU", {BatchArg::Text(name)});
  EXPECT_TRUE(a.answered);
  EXPECT_TRUE(EndedCleanly(batch.Finish()));
  return a.resultText;
}

void ChownTree(const std::string& folder, uid_t uid, gid_t gid) {
  ASSERT_EQ(lchown(folder.c_str(), uid, gid), 0) << folder;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    ASSERT_EQ(lchown(entry.path().c_str(), uid, gid), 0) << entry.path();
  }
}

void ChmodFolderAndFiles(const std::string& folder, unsigned folderMode, unsigned fileMode) {
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.is_regular_file()) {
      ASSERT_EQ(chmod(entry.path().c_str(), fileMode), 0);
    }
  }
  ASSERT_EQ(chmod(folder.c_str(), folderMode), 0);
}

::testing::AssertionResult EndedCleanly(int status) {
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return ::testing::AssertionSuccess();
  if (WIFSIGNALED(status)) {
    return ::testing::AssertionFailure() << "ended by signal " << WTERMSIG(status);
  }
  return ::testing::AssertionFailure() << "exited with " << WEXITSTATUS(status);
}

}  // namespace zyq::test
