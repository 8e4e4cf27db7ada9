#include "tests/support/TestEnvironment.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace zyq::test {
namespace {

std::string g_root;

void RemoveRoot() {
  if (g_root.empty() || std::getenv("ZYQSEC_KEEP_TEST_ROOT") != nullptr) return;
  std::error_code ec;
  std::filesystem::remove_all(g_root, ec);
}

}  // namespace

void IsolateProcess() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zyqtest-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  g_root = pattern;
  for (const char* sub : {"home", "state", "tmp"}) {
    std::filesystem::create_directories(g_root + "/" + sub);
  }
  setenv("HOME", (g_root + "/home").c_str(), 1);
  setenv("ZYQSEC_HOME", (g_root + "/state").c_str(), 1);
  setenv("TMPDIR", (g_root + "/tmp").c_str(), 1);
  unsetenv("XDG_DATA_HOME");
  // The master key of the private keys goes to a file of this root (not into HOME, whose
  // contents tests check), never to the user's keyring, unless a test run asks for a keyring
  // (tests/keys_at_rest/run_under_keyring.sh).
  unsetenv("XDG_CONFIG_HOME");
  setenv("ZYQSEC_KEY_FILE", (g_root + "/keys/master-key").c_str(), 1);
  if (std::getenv("ZYQSEC_KEYRING") == nullptr) setenv("ZYQSEC_KEYRING", "off", 1);
  if (std::getenv("ZYQSEC_UI") == nullptr) setenv("ZYQSEC_UI", "none", 1);
  std::atexit(RemoveRoot);
}

const std::string& TestRoot() {
  return g_root;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
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
