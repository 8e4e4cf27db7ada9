// How ZYQSEC_UI picks a host when nothing can be shown: no setting ever leaves a process without
// a terminal or display waiting for an answer.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "platform/DialogHost.h"

namespace zyq::platform {
namespace {

// Runs a picker on the host a setting names, in a child without display whose standard input
// is a pipe that stays open and silent (a host reading it would wait for ever); the child's exit
// code is 0 when the picker could not be created, -2 means it hung.
int PickerInChildWithoutDisplay(const char* setting) {
  int silent[2];
  if (pipe2(silent, O_CLOEXEC) != 0) return -3;
  const pid_t pid = fork();
  if (pid == 0) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    dup2(silent[0], 0);
    PickerRequest request;
    request.kind = PickerKind::kFolder;
    request.initial = "/start";
    auto host = CreateDialogHost(setting);
    _exit(host->RunPicker(request).answer == DialogAnswer::kNotCreated ? 0 : 1);
  }
  close(silent[0]);
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      close(silent[1]);
      return -2;
    }
    usleep(10000);
  }
  close(silent[1]);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(HostSelectionTest, EverySettingCreatesNoDialogWithoutDisplayOrTerminal) {
  for (const char* setting : {"", "gtk", "console", "none", "nonsense"}) {
    EXPECT_EQ(PickerInChildWithoutDisplay(setting), 0) << "ZYQSEC_UI=" << setting;
  }
}

}  // namespace
}  // namespace zyq::platform
