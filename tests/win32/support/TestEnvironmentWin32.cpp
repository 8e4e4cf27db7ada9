// Per-process isolation of the Windows test programs: the temporary folder (TMP, TEMP) points at
// a new folder under a fresh root that is removed when the process ends. The registry, the
// certificate stores and the key containers are the Wine prefix's; tests that use them choose
// unique names.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "tests/support/TestEnvironment.h"

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
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (unsigned attempt = 0;; ++attempt) {
    const std::filesystem::path root =
        base / ("zyqtest-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt));
    std::error_code ec;
    if (std::filesystem::create_directory(root, ec)) {
      g_root = root.string();
      break;
    }
    if (attempt > 1000) std::abort();
  }
  for (const char* sub : {"home", "state", "tmp"}) {
    std::filesystem::create_directories(g_root + "\\" + sub);
  }
  _putenv_s("TMP", (g_root + "\\tmp").c_str());
  _putenv_s("TEMP", (g_root + "\\tmp").c_str());
  // The shared test sources name the temporary folder by this variable.
  _putenv_s("TMPDIR", (g_root + "\\tmp").c_str());
  if (std::getenv("ZYQSEC_UI") == nullptr) _putenv_s("ZYQSEC_UI", "none");
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
  FILE* pipe = _popen(command.c_str(), "rb");
  if (pipe == nullptr) return -1;
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) text.append(buffer, n);
  const int status = _pclose(pipe);
  if (output != nullptr) *output = std::move(text);
  return status;
}

}  // namespace zyq::test
