#include "tests/registration/PfxFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/Text.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::test {
namespace {

// The separator of the system's own paths, which the engine writes.
#ifdef _WIN32
constexpr const char* kSeparator = "\\";
#else
constexpr const char* kSeparator = "/";
#endif

}  // namespace

std::string NewFolder(const std::string& name) {
  static int counter = 0;
  const std::string folder = TestRoot() + kSeparator + name + "-" + std::to_string(++counter);
  std::filesystem::create_directories(folder);
  return folder;
}

int OpenSsl(const std::string& arguments, std::string* output) {
  std::string text;
  const int status = RunCommand("openssl " + arguments, &text);
  if (output != nullptr) *output = text;
  if (status != 0) ADD_FAILURE() << "openssl " << arguments << "\n" << text;
  return status;
}

std::u16string U16(const std::string& utf8) {
  return platform::Utf8ToWide(utf8);
}

std::string HexOf(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

std::string DefaultCertFolderUtf8() {
#ifdef _WIN32
  return std::string(std::getenv("USERPROFILE")) + "\\ZYQ證券";
#else
  return std::string(std::getenv("HOME")) + "/ZYQ證券";
#endif
}

}  // namespace zyq::test
