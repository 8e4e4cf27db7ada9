// ChangePfxPasswd: the file is re-protected with the new password and keeps only its keyed
// certificates; a wrong old password, a failed write and a process killed while writing all
// leave the old file exactly as it was.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "engine/ResultCodes.h"
#include "engine/SecurityEngine.h"
#include "platform/FileSystem.h"
#include "platform/SystemErrors.h"
#include "tests/lifecycle/LifecycleTestSupport.h"
#include "tests/support/TestEnvironment.h"
#include "tests/ui/ScriptedDialogs.h"

namespace zyq::test {
namespace {

// A file system whose atomic writes fail as a full disk does.
class FullDisk : public platform::FileSystemWrapper {
 public:
  FullDisk() : FileSystemWrapper(platform::DefaultFileSystem()) {}
  platform::SysError WriteFileAtomic(std::string_view, std::string_view) override {
    ++writes;
    return platform::kErrorDiskFull;
  }
  int writes = 0;
};

// A file system that lets the process be killed by the kernel half way through a write: the
// file size limit is set to half the bytes to write, and the write past it raises SIGXFSZ.
class KilledMidWrite : public platform::FileSystemWrapper {
 public:
  KilledMidWrite() : FileSystemWrapper(platform::DefaultFileSystem()) {}
  platform::SysError WriteFileAtomic(std::string_view path, std::string_view bytes) override {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const rlimit half{bytes.size() / 2, bytes.size() / 2};
    setrlimit(RLIMIT_FSIZE, &half);
    return target().WriteFileAtomic(path, bytes);
  }
};

class ChangePasswordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = NewWorkFolder();
    ASSERT_TRUE(WriteFile(
        folder + "/u.pfx",
        ToString(MakePfx({{wang.cert, &wang.key}, {ca.cert, nullptr}}, "old-pass", false))));
    original = FileBytes(folder + "/u.pfx");
  }
  void TearDown() override { platform::SetFileSystemForTesting(nullptr); }

  Authority ca;
  Holder wang = Issue(ca, "TWA123456789 Wang", "critical,digitalSignature", 41);
  SecurityEngine engine;
  std::string folder;
  std::string original;
};

TEST_F(ChangePasswordTest, NewPasswordProtectsTheUserCertificateAndItsKeyOnly) {
  EXPECT_EQ(
      engine.ChangePfxPasswd(Text(folder), Text("u.pfx"), Text("old-pass"), Text("new-pass"), 0),
      0);
  EXPECT_FALSE(ReadPfxWithOpenSsl(folder + "/u.pfx", "old-pass").opened);
  const OpenSslPfx read = ReadPfxWithOpenSsl(folder + "/u.pfx", "new-pass");
  ASSERT_TRUE(read.opened);
  // The authority's certificate had no key: it is not carried into the new file.
  EXPECT_EQ(read.certs, std::vector<Bytes>{wang.cert});
  ASSERT_NE(read.key, nullptr);
  EXPECT_EQ(KeyModulus(read.key.get()), KeyModulus(OpenSslKey(wang.key)));
}

TEST_F(ChangePasswordTest, WrongOldPasswordLeavesTheFileByteForByte) {
  EXPECT_EQ(
      engine.ChangePfxPasswd(Text(folder), Text("u.pfx"), Text("not-it"), Text("new-pass"), 0),
      result::kPkcs12WrongPassword);
  EXPECT_NE(engine.GetCapiErrorCode(), 0);
  EXPECT_TRUE(FileBytes(folder + "/u.pfx") == original) << "the file changed";
  EXPECT_EQ(
      engine.ChangePfxPasswd(Text(folder), Text("none.pfx"), Text("old-pass"), Text("new-pass"), 0),
      result::kFileNotFound);
}

TEST_F(ChangePasswordTest, FailedWriteKeepsTheOldFile) {
  FullDisk disk;
  platform::SetFileSystemForTesting(&disk);
  EXPECT_EQ(
      engine.ChangePfxPasswd(Text(folder), Text("u.pfx"), Text("old-pass"), Text("new-pass"), 0),
      result::kPfxWriteFailed);
  EXPECT_EQ(static_cast<platform::SysError>(engine.GetCapiErrorCode()), platform::kErrorDiskFull);
  EXPECT_EQ(disk.writes, 1);
  platform::SetFileSystemForTesting(nullptr);
  EXPECT_TRUE(FileBytes(folder + "/u.pfx") == original) << "the file changed";
}

TEST_F(ChangePasswordTest, ProcessKilledWhileWritingLeavesTheOldFileWhole) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    KilledMidWrite dying;
    platform::SetFileSystemForTesting(&dying);
    SecurityEngine inChild;
    inChild.ChangePfxPasswd(Text(folder), Text("u.pfx"), Text("old-pass"), Text("new-pass"), 0);
    _exit(0);  // not reached when the write is cut off
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "child exited with " << status;
  EXPECT_EQ(WTERMSIG(status), SIGXFSZ);

  EXPECT_TRUE(FileBytes(folder + "/u.pfx") == original) << "the file changed";
  EXPECT_TRUE(ReadPfxWithOpenSsl(folder + "/u.pfx", "old-pass").opened);
  // The change can be made again afterwards.
  EXPECT_EQ(
      engine.ChangePfxPasswd(Text(folder), Text("u.pfx"), Text("old-pass"), Text("new-pass"), 0),
      0);
}

TEST_F(ChangePasswordTest, DialogAsksForWhatIsMissing) {
  ScriptedDialogs dialogs;
  // Confirmation differs from the new password: nothing changes.
  dialogs.Answer({"ok\told=old-pass\tnew=new-pass\tconfirm=new-pasz"});
  EXPECT_EQ(engine.ChangePfxPasswd(Text(folder), Text("u.pfx"), Text(""), Text(""), 0),
            result::kPasswordMismatch);
  EXPECT_TRUE(FileBytes(folder + "/u.pfx") == original) << "the file changed";

  dialogs.Answer({"ok\told=old-pass\tnew=new-pass\tconfirm=new-pass"});
  EXPECT_EQ(engine.ChangePfxPasswd(Text(folder), Text("u.pfx"), Text(""), Text(""), 0), 0);
  EXPECT_TRUE(ReadPfxWithOpenSsl(folder + "/u.pfx", "new-pass").opened);
  const std::vector<std::string> transcript = dialogs.Transcript();
  ASSERT_EQ(transcript.size(), 2u);
  EXPECT_NE(transcript[0].find("\"template\": 203"), std::string::npos);
  EXPECT_EQ(dialogs.TranscriptText().find("new-pass"), std::string::npos);
}

}  // namespace
}  // namespace zyq::test
