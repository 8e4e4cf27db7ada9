#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/HostInfo.h"
#include "platform/Text.h"

namespace zyq::platform {
namespace {

namespace fs = std::filesystem;

std::string ReadLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

std::string Colons(const std::vector<uint8_t>& address) {
  std::string out;
  char buf[4];
  for (uint8_t b : address) {
    std::snprintf(buf, sizeof buf, "%02x", b);
    if (!out.empty()) out += ':';
    out += buf;
  }
  return out;
}

// The adapters agree with what the kernel shows in sysfs: the same ones (loopback and
// all-zero addresses left out), in interface index order, with the same addresses.
TEST(HostInfoTest, AdaptersMatchTheKernelsList) {
  std::vector<NetworkAdapter> adapters;
  ASSERT_EQ(ListNetworkAdapters(&adapters), 0u);

  struct Expected {
    uint32_t index;
    std::string name;
    std::string address;
  };
  std::vector<Expected> expected;
  for (const auto& entry : fs::directory_iterator("/sys/class/net")) {
    const std::string name = entry.path().filename();
    const std::string address = ReadLine(entry.path() / "address");
    if (ReadLine(entry.path() / "type") == "772") continue;  // ARPHRD_LOOPBACK
    if (address.empty() || address.find_first_not_of("0:") == std::string::npos) continue;
    expected.push_back(
        {static_cast<uint32_t>(std::stoul(ReadLine(entry.path() / "ifindex"))), name, address});
  }
  std::sort(expected.begin(), expected.end(),
            [](const Expected& a, const Expected& b) { return a.index < b.index; });

  ASSERT_EQ(adapters.size(), expected.size());
  for (size_t i = 0; i < adapters.size(); ++i) {
    EXPECT_EQ(adapters[i].name, expected[i].name);
    EXPECT_EQ(adapters[i].index, expected[i].index);
    EXPECT_EQ(Colons(adapters[i].address), expected[i].address);
  }
}

TEST(HostInfoTest, ProfileFolderIsHomeOrTheAccountsHome) {
  const std::string home = std::getenv("HOME");
  EXPECT_EQ(UserProfileFolder(), home);
  ::setenv("HOME", "/home/\xE8\xAD\x89", 1);  // "/home/證" in UTF-8
  EXPECT_EQ(UserProfileFolder(), Utf8ToAnsi("/home/證"));
  ::unsetenv("HOME");
  const std::string fromAccount = UserProfileFolder();
  EXPECT_FALSE(fromAccount.empty());
  EXPECT_NE(fromAccount, home);
  ::setenv("HOME", home.c_str(), 1);
}

TEST(HostInfoTest, ThisIsNoWindowsVersion) {
  const OsVersion version = ReadOsVersion();
  EXPECT_FALSE(version.valid);
  EXPECT_EQ(version.major, 0u);
}

}  // namespace
}  // namespace zyq::platform
