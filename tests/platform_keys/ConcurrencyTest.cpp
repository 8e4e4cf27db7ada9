// Several processes making containers and keys in one state database at the same time lose
// nothing.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "platform/CryptoKeys.h"
#include "platform/posix/StateDatabase.h"
#include "tests/platform_keys/KeyTestSupport.h"

namespace zyq::platform {
namespace {

using ConcurrencyTest = test::KeyStateTest;

constexpr int kProcesses = 4;
constexpr int kContainersEach = 20;

// The work of one child: containers named "p<child>-<i>", every fifth with a generated key, and
// one import of a key that all children share. Returns the exit status.
int ChildWork(int child, const std::vector<uint8_t>& sharedKey) {
  for (int i = 0; i < kContainersEach; ++i) {
    std::unique_ptr<KeyContext> context;
    const std::string name = "p" + std::to_string(child) + "-" + std::to_string(i);
    if (AcquireKeyContext(name, kMsEnhancedProv, 1, kCryptNewKeyset, &context) != kErrorSuccess) {
      return 10;
    }
    if (i % 5 == 0 && context->GenerateKey(kAtSignature, 512u << 16) != kErrorSuccess) return 11;
    if (i == kContainersEach / 2) {
      KeyProvInfo link;
      if (ImportPrivateKey(sharedKey, kMsEnhancedProv, 1, kAtKeyExchange, 0, &link) !=
          kErrorSuccess) {
        return 12;
      }
    }
  }
  return 0;
}

TEST_F(ConcurrencyTest, ProcessesCreatingContainersAtOnceLoseNothing) {
  const auto sharedKey = test::OpenSslRsaKeyDer(512);
  // No connection may cross fork(); each child opens its own.
  posix::StateDatabase::CloseForTesting();
  std::vector<pid_t> children;
  for (int child = 0; child < kProcesses; ++child) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(ChildWork(child, sharedKey));
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }

  std::unique_ptr<KeyContext> context;
  ASSERT_EQ(AcquireKeyContext("", kMsEnhancedProv, 1, kCryptVerifyContext, &context),
            kErrorSuccess);
  std::vector<std::string> names;
  ASSERT_EQ(context->EnumContainers(&names), kErrorSuccess);
  // Every child's containers, plus exactly one container for the key they all imported.
  EXPECT_EQ(names.size(), static_cast<size_t>(kProcesses * kContainersEach + 1));
  std::set<std::string> unique(names.begin(), names.end());
  EXPECT_EQ(unique.size(), names.size());
  for (int child = 0; child < kProcesses; ++child) {
    for (int i = 0; i < kContainersEach; i += 5) {
      std::unique_ptr<KeyContext> c;
      const std::string name = "p" + std::to_string(child) + "-" + std::to_string(i);
      ASSERT_EQ(AcquireKeyContext(name, kMsEnhancedProv, 1, 0, &c), kErrorSuccess) << name;
      KeyPairInfo info;
      EXPECT_EQ(c->GetKeyInfo(kAtSignature, &info), kErrorSuccess) << name;
    }
  }
}

}  // namespace
}  // namespace zyq::platform
