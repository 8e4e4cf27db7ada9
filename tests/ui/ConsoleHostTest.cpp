// The console host on a real pseudo-terminal: a child process runs a launcher with
// ZYQSEC_UI=console while the test types at its prompts and reads what the terminal shows.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>

#include "platform/Text.h"
#include "tests/support/TestEnvironment.h"
#include "ui/CertFileLaunchers.h"
#include "ui/CertListDialog.h"
#include "ui/DialogResults.h"
#include "ui/Pickers.h"

namespace zyq::ui {
namespace {

class PtyChild {
 public:
  // Runs body in a child whose standard streams are a new terminal; its result is the exit code.
  explicit PtyChild(const std::function<int()>& body) {
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      setenv("ZYQSEC_UI", "console", 1);
      _exit(body());
    }
    // Our end of the terminal is not handed to any process started later.
    if (master_ >= 0) fcntl(master_, F_SETFD, FD_CLOEXEC);
  }
  ~PtyChild() {
    if (pid_ > 0 && !waited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }

  bool started() const { return pid_ > 0; }

  // Reads the terminal until its output since the last call holds marker (or the time passes);
  // returns that output. The limit is generous: a loaded machine may take seconds to answer.
  std::string ReadUntil(std::string_view marker,
                        std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (pending_.find(marker) == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
      pollfd fd{master_, POLLIN, 0};
      if (poll(&fd, 1, 100) <= 0) continue;
      char buf[512];
      const ssize_t n = read(master_, buf, sizeof buf);
      if (n <= 0) break;
      pending_.append(buf, static_cast<size_t>(n));
      all_.append(buf, static_cast<size_t>(n));
    }
    std::string seen;
    seen.swap(pending_);
    return seen;
  }

  void Type(std::string_view keys) {
    ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }

  // The child's exit code (-1 when it did not exit normally within two minutes).
  int Wait() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (std::chrono::steady_clock::now() < deadline) {
      // Keep draining so the child never blocks on output.
      ReadUntil("\x01never", std::chrono::milliseconds(50));
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        waited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      usleep(10000);
    }
    return -1;
  }

  const std::string& all() const { return all_; }

 private:
  int master_ = -1;
  pid_t pid_ = -1;
  bool waited_ = false;
  std::string pending_;
  std::string all_;
};

// ReadUntil for a marker that never comes returns after its timeout: keep waits short there.
std::string ResultFile() {
  return test::TestRoot() + "/console-result.txt";
}

TEST(ConsoleHostTest, PasswordIsReadWithoutEchoAndOkWaitsForTheMinimum) {
  PtyChild child([] {
    std::string folder = "/f";
    std::string file;
    SecretString password;
    const int code = PromptRegisterInfo(folder, file, password, 0, 0);
    test::WriteFile(ResultFile(), file + "|" + password.str());
    return code == kDialogOk ? 0 : 1;
  });
  ASSERT_TRUE(child.started());
  std::string screen = child.ReadUntil("輸入憑證密碼 : (最多 20 個字元) ");
  EXPECT_NE(screen.find("== 請輸入註冊的憑證檔案資訊 =="), std::string::npos) << screen;
  EXPECT_NE(screen.find("/f/*.pfx"), std::string::npos) << screen;
  // Too short: OK is refused and the password asked again.
  child.Type("abc\n");
  screen = child.ReadUntil("[c] 取消 : ");
  EXPECT_EQ(screen.find("abc"), std::string::npos) << screen;
  child.Type("\n");
  screen = child.ReadUntil("個字元) ");
  EXPECT_NE(screen.find("確定 目前無法使用"), std::string::npos) << screen;
  child.Type("hunter2-long-password-cut\n");
  screen = child.ReadUntil("[c] 取消 : ");
  EXPECT_NE(screen.find("只取前 20 個字元"), std::string::npos) << screen;
  child.Type("\n");
  EXPECT_EQ(child.Wait(), 0) << child.all();
  EXPECT_EQ(child.all().find("hunter2"), std::string::npos) << child.all();
  EXPECT_EQ(test::ReadFile(ResultFile()), "*.pfx|hunter2-long-passwor");
}

TEST(ConsoleHostTest, EndOfInputCancels) {
  PtyChild child([] {
    std::string folder = "/f";
    std::string file = "a.pfx";
    SecretString oldPassword, newPassword;
    return PromptChangePassword(folder, file, oldPassword, newPassword, 0, 0) == kDialogCancelled
               ? 0
               : 1;
  });
  ASSERT_TRUE(child.started());
  child.ReadUntil("輸入原憑證密碼 :");
  child.Type("\x04");  // Ctrl-D at the start of a line: end of input
  EXPECT_EQ(child.Wait(), 0) << child.all();
}

TEST(ConsoleHostTest, BrowseInTheFolderDialogAndBarePickers) {
  PtyChild child([] {
    std::string folder = "/unwritable";
    const int code = PromptCertFolder(folder);
    const std::string local = PromptLocalFolder("/start", "");
    test::WriteFile(ResultFile(), folder + "|" + local);
    return code;
  });
  ASSERT_TRUE(child.started());
  std::string screen = child.ReadUntil("[c] 取消 : ");
  EXPECT_NE(screen.find("請選擇您想要儲存的憑證路徑"), std::string::npos) << screen;
  EXPECT_NE(screen.find("  /unwritable\r\n"), std::string::npos) << screen;
  EXPECT_NE(screen.find("[b] 選擇路徑"), std::string::npos) << screen;
  child.Type("b\n");
  screen = child.ReadUntil("資料夾路徑 (空白 = 取消) : ");
  EXPECT_NE(screen.find("== 請選擇憑證檔存放路徑 : =="), std::string::npos) << screen;
  child.Type("/chosen here\n");
  screen = child.ReadUntil("[c] 取消 : ");
  EXPECT_NE(screen.find("  /chosen here\r\n"), std::string::npos) << screen;
  child.Type("\n");
  screen = child.ReadUntil("資料夾路徑 (空白 = 取消) : ");
  EXPECT_NE(screen.find("== 請選擇檔案儲存路徑 : =="), std::string::npos) << screen;
  child.Type("/picked\n");
  EXPECT_EQ(child.Wait(), 0) << child.all();
  EXPECT_EQ(test::ReadFile(ResultFile()), "/chosen here|/picked");
}

TEST(ConsoleHostTest, ListSelectsAndViewsRows) {
  PtyChild child([] {
    const std::vector<CertificateCandidate> candidates = {
        {{1}, "first", "2024/01/01", "2025/01/01", "CA"},
        {{2, 2}, platform::Utf8ToAnsi("第二"), "2024/02/02", "2025/02/02", "CA"}};
    int chosen = -1;
    const int code = ChooseCertificate(candidates, chosen);
    return code == kDialogOk ? chosen : 100;
  });
  ASSERT_TRUE(child.started());
  std::string screen = child.ReadUntil("[c] 取消 : ");
  EXPECT_NE(screen.find("憑證持有人 | 起始日 | 截止日 | 憑證發行者"), std::string::npos) << screen;
  EXPECT_NE(screen.find(" * 1. first | 2024/01/01 | 2025/01/01 | CA"), std::string::npos);
  child.Type("2\n");
  screen = child.ReadUntil("[c] 取消 : ");
  EXPECT_NE(screen.find(" * 2. 第二"), std::string::npos) << screen;
  child.Type("v\n");
  screen = child.ReadUntil("[c] 取消 : ");
  EXPECT_NE(screen.find("temp.cer"), std::string::npos) << screen;
  child.Type("\n");
  EXPECT_EQ(child.Wait(), 1) << child.all();
  EXPECT_EQ(test::ReadFile(std::string(std::getenv("TMPDIR")) + "/temp.cer"), "\x02\x02");
}

TEST(ConsoleHostTest, WithoutATerminalTheConsoleSettingCreatesNoDialog) {
  // The test's own standard input is not the child's terminal here: a pipe.
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[0], 0);
    setenv("ZYQSEC_UI", "console", 1);
    std::string path;
    _exit(PromptFileToHash(path) == kDialogNotCreated ? 0 : 1);
  }
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  close(fds[1]);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace zyq::ui
