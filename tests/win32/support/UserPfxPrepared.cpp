// MakeUserPfx on Windows: the files were made with the openssl command before the test program
// started (make_suite_data.sh, one folder per line of suite_users.txt, in the folder that
// ZYQ_WIN32_SUITE_DATA names); the n-th request for a description gets its n-th prepared copy.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "tests/registration/PfxFiles.h"

namespace zyq::test {
namespace {

// The line of suite_users.txt that describes the spec.
std::string Describe(const UserPfxSpec& spec) {
  return spec.commonName + "|" + spec.password + "|" + spec.fileName + "|" + spec.keyUsage + "|" +
         (spec.includeCa ? "1" : "0") + "|" + std::to_string(spec.days) + "|" +
         (spec.otherAuthority ? "1" : "0");
}

// The prepared folder of the index'th copy of the description; empty when there is none.
std::string PreparedFolder(const std::string& data, const std::string& line, int index) {
  std::ifstream in(data + "/users/index.txt", std::ios::binary);
  std::string entry;
  while (std::getline(in, entry)) {
    const size_t bar = entry.find('|');
    if (bar == std::string::npos || entry.compare(bar + 1, std::string::npos, line) != 0) continue;
    if (index-- == 0) return data + "/users/" + entry.substr(0, bar);
  }
  return {};
}

}  // namespace

UserPfx MakeUserPfx(const UserPfxSpec& spec) {
  const char* data = std::getenv("ZYQ_WIN32_SUITE_DATA");
  if (data == nullptr) {
    ADD_FAILURE() << "ZYQ_WIN32_SUITE_DATA names no folder of prepared files";
    return UserPfx{};
  }
  static std::map<std::string, int> used;
  const std::string line = Describe(spec);
  const std::string prepared = PreparedFolder(data, line, used[line]++);
  if (prepared.empty()) {
    ADD_FAILURE() << "no prepared files for \"" << line << "\" (copy " << used[line]
                  << "): list them in tests/win32/suite_users.txt";
    return UserPfx{};
  }
  UserPfx files;
  files.folder = NewFolder("user");
  files.fileName = spec.fileName;
  files.path = files.folder + "\\" + spec.fileName;
  files.keyPem = files.folder + "\\key.pem";
  files.certPem = files.folder + "\\cert.pem";
  files.caPem = std::string(data) + (spec.otherAuthority ? "\\ca2" : "\\ca") + "\\ca.pem";
  std::error_code ec;
  std::filesystem::copy(prepared, files.folder, std::filesystem::copy_options::recursive, ec);
  if (ec) {
    ADD_FAILURE() << "copying " << prepared << ": " << ec.message();
    return UserPfx{};
  }
  return files;
}

}  // namespace zyq::test
