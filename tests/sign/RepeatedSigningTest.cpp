// A trading program signs every order: many signatures in register mode 3 must not leave a
// trace in the user's state. After the first signature (which may settle what the registration
// left), the state folder keeps its size and the providers keep their key containers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/SecurityEngine.h"
#include "platform/CryptoKeys.h"
#include "platform/Providers.h"
#include "platform/Text.h"
#include "tests/registration/PfxFiles.h"
#include "tests/support/TestEnvironment.h"

namespace zyq {
namespace {

using platform::Bstr;

// The sanitizers make every signature several times slower; the leak would show as well in a
// smaller count, so that build signs fewer.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSignatures = 200;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kSignatures = 200;
#else
constexpr int kSignatures = 1000;
#endif
#else
constexpr int kSignatures = 1000;
#endif

constexpr int32_t kSignAnsiText = 0x800;
constexpr int32_t kPkcs7SigningTime = 0x2000;
constexpr int32_t kPkcs1Base64 = 0x100;

// Every file of the state folder ($ZYQSEC_HOME) with its size.
std::map<std::string, uintmax_t> StateFiles() {
  std::map<std::string, uintmax_t> files;
  const char* home = std::getenv("ZYQSEC_HOME");
  if (home == nullptr) return files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(home)) {
    if (entry.is_regular_file()) files[entry.path().string()] = entry.file_size();
  }
  return files;
}

// The key containers of every installed provider, as "provider/container".
std::vector<std::string> KeyContainers() {
  std::vector<std::string> all;
  platform::ProviderInfo provider;
  for (uint32_t i = 0; platform::EnumProvider(i, &provider) == platform::kErrorSuccess; ++i) {
    std::unique_ptr<platform::KeyContext> context;
    if (platform::AcquireKeyContext("", provider.name, provider.type, platform::kCryptVerifyContext,
                                    &context) != platform::kErrorSuccess) {
      ADD_FAILURE() << "no context for " << provider.name;
      continue;
    }
    std::vector<std::string> names;
    EXPECT_EQ(context->EnumContainers(&names), platform::kErrorSuccess);
    for (const std::string& name : names) all.push_back(provider.name + "/" + name);
  }
  return all;
}

TEST(RepeatedSigningTest, ManySignaturesLeaveTheStateAsTheFirstLeftIt) {
  const test::UserPfx pfx = test::MakeUserPfx({.commonName = "A523456789"});
  ASSERT_FALSE(pfx.path.empty());
  SecurityEngine engine;
  ASSERT_EQ(engine.RegisterPfx(Bstr::FromView(test::U16(pfx.folder)),
                               Bstr::FromView(test::U16(pfx.fileName)), Bstr::FromAnsi("pass1234"),
                               3, 0, 0),
            0);
  auto id = [] { return Bstr::FromAnsi("A523456789"); };
  auto order = [] { return Bstr::FromAnsi("BUY 2330 1000 @ 580.00"); };
  auto sign = [&](int i) {
    return i % 2 == 0 ? engine.SignPkcs7(id(), order(), kSignAnsiText | kPkcs7SigningTime, 0)
                      : engine.SignPkcs1(id(), order(), kSignAnsiText | kPkcs1Base64, 0);
  };
  ASSERT_FALSE(sign(0).Empty());
  ASSERT_FALSE(sign(1).Empty());
  ASSERT_EQ(engine.GetErrorCode(), 0);
  const auto filesAfterFirst = StateFiles();
  const auto containersAfterFirst = KeyContainers();
  ASSERT_FALSE(filesAfterFirst.empty());
  ASSERT_EQ(containersAfterFirst.size(), 1u) << "the registered file's key, in one container";

  int failures = 0;
  for (int i = 2; i < kSignatures; ++i) {
    if (sign(i).Empty() || engine.GetErrorCode() != 0) ++failures;
  }
  EXPECT_EQ(failures, 0);

  // A second engine (another program of the same user) signs too, from the record.
  SecurityEngine other;
  EXPECT_FALSE(other.SignPkcs7(id(), order(), 0, 0).Empty());
  EXPECT_EQ(other.GetErrorCode(), 0);

  EXPECT_EQ(StateFiles(), filesAfterFirst);
  EXPECT_EQ(KeyContainers(), containersAfterFirst);
}

}  // namespace
}  // namespace zyq
