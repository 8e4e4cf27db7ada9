#include "tests/support/TestEnvironment.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "tests/support/TestEnvironmentSystem.h"

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
  g_root = os::MakeRoot();
  for (const char* sub : {"home", "state", "tmp"}) {
    std::filesystem::create_directories(std::filesystem::path(g_root) / sub);
  }
  os::UseFolders(g_root);
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

}  // namespace zyq::test
