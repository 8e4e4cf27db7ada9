// The test environment on Linux: the root from mkdtemp, HOME, ZYQSEC_HOME and TMPDIR in it,
// commands through the shell.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "tests/support/TestEnvironment.h"
#include "tests/support/TestEnvironmentSystem.h"

namespace zyq::test {

std::string os::MakeRoot() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zyqtest-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  return pattern;
}

void os::UseFolders(const std::string& root) {
  setenv("HOME", (root + "/home").c_str(), 1);
  setenv("ZYQSEC_HOME", (root + "/state").c_str(), 1);
  setenv("TMPDIR", (root + "/tmp").c_str(), 1);
  unsetenv("XDG_DATA_HOME");
  // The master key of the private keys goes to a file of this root (not into HOME, whose
  // contents tests check), never to the user's keyring, unless a test run asks for a keyring
  // (tests/keys_at_rest/run_under_keyring.sh).
  unsetenv("XDG_CONFIG_HOME");
  setenv("ZYQSEC_KEY_FILE", (root + "/keys/master-key").c_str(), 1);
  if (std::getenv("ZYQSEC_KEYRING") == nullptr) setenv("ZYQSEC_KEYRING", "off", 1);
  if (std::getenv("ZYQSEC_UI") == nullptr) setenv("ZYQSEC_UI", "none", 1);
}

int RunCommand(const std::string& command, std::string* output) {
  // "e": our end of the pipe is close-on-exec, so no other process started meanwhile keeps it.
  FILE* pipe = popen((command + " 2>&1").c_str(), "re");
  if (pipe == nullptr) return -1;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) text.append(buf, n);
  const int status = pclose(pipe);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace zyq::test
