// The test environment on Windows: a root named by the process id, the temporary folder (TMP,
// TEMP, and TMPDIR for the shared test sources) in it, commands through the C runtime. The
// registry, the certificate stores and the key containers are the Wine prefix's; tests that
// use them choose unique names.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "tests/support/TestEnvironment.h"
#include "tests/support/TestEnvironmentSystem.h"

namespace zyq::test {

std::string os::MakeRoot() {
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (unsigned attempt = 0; attempt <= 1000; ++attempt) {
    const std::filesystem::path root =
        base / ("zyqtest-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt));
    std::error_code ec;
    if (std::filesystem::create_directory(root, ec)) return root.string();
  }
  std::abort();
}

void os::UseFolders(const std::string& root) {
  const std::string tmp = root + "\\tmp";
  _putenv_s("TMP", tmp.c_str());
  _putenv_s("TEMP", tmp.c_str());
  _putenv_s("TMPDIR", tmp.c_str());
  if (std::getenv("ZYQSEC_UI") == nullptr) _putenv_s("ZYQSEC_UI", "none");
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
