// Key container lifecycle: creation, opening, deletion, enumeration order and the flag rules of
// AcquireKeyContext.
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/CryptoKeys.h"
#include "tests/platform_keys/KeyTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::platform {
namespace {

using KeyContainersTest = test::KeyStateTest;

std::vector<std::string> Containers(const char* provider, uint32_t type = kProvRsaFull) {
  std::unique_ptr<KeyContext> context;
  EXPECT_EQ(AcquireKeyContext("", provider, type, kCryptVerifyContext, &context), kErrorSuccess);
  std::vector<std::string> names;
  if (context) {
    EXPECT_EQ(context->EnumContainers(&names), kErrorSuccess);
  }
  return names;
}

TEST_F(KeyContainersTest, CreateOpenDeleteWithCryptoApiErrors) {
  std::unique_ptr<KeyContext> context;
  EXPECT_EQ(AcquireKeyContext("box", kMsEnhancedProv, 1, 0, &context), kNteBadKeyset);
  EXPECT_EQ(AcquireKeyContext("box", kMsEnhancedProv, 1, kCryptDeleteKeyset, &context),
            kNteBadKeyset);
  ASSERT_EQ(AcquireKeyContext("box", kMsEnhancedProv, 1, kCryptNewKeyset, &context), kErrorSuccess);
  EXPECT_EQ(context->ContainerName(), "box");
  EXPECT_FALSE(context->IsVerifyContext());
  EXPECT_EQ(AcquireKeyContext("box", kMsEnhancedProv, 1, kCryptNewKeyset, &context), kNteExists);
  // Names ignore letter case, as on Windows; the stored spelling is reported.
  EXPECT_EQ(AcquireKeyContext("BOX", kMsEnhancedProv, 1, kCryptNewKeyset, &context), kNteExists);
  ASSERT_EQ(AcquireKeyContext("BOX", kMsEnhancedProv, 1, 0, &context), kErrorSuccess);
  EXPECT_EQ(context->ContainerName(), "box");

  // A new container is empty.
  KeyPairInfo info;
  EXPECT_EQ(context->GetKeyInfo(kAtKeyExchange, &info), kNteNoKey);
  EXPECT_EQ(context->GetKeyInfo(kAtSignature, &info), kNteNoKey);

  std::unique_ptr<KeyContext> deleted;
  EXPECT_EQ(AcquireKeyContext("box", kMsEnhancedProv, 1, kCryptDeleteKeyset, &deleted),
            kErrorSuccess);
  EXPECT_EQ(deleted, nullptr);
  EXPECT_EQ(AcquireKeyContext("box", kMsEnhancedProv, 1, 0, &deleted), kNteBadKeyset);
  // A context whose container went away fails instead of writing into nothing.
  EXPECT_EQ(context->GenerateKey(kAtSignature, 512u << 16), kNteBadKeyset);
  EXPECT_EQ(context->GetKeyInfo(kAtSignature, &info), kNteBadKeyset);
}

TEST_F(KeyContainersTest, ContainersBelongToTheirProvider) {
  std::unique_ptr<KeyContext> context;
  ASSERT_EQ(AcquireKeyContext("same", kMsEnhancedProv, 1, kCryptNewKeyset, &context),
            kErrorSuccess);
  ASSERT_EQ(AcquireKeyContext("same", kMsStrongProv, 1, kCryptNewKeyset, &context), kErrorSuccess);
  EXPECT_EQ(AcquireKeyContext("same", kMsDefProv, 1, 0, &context), kNteBadKeyset);
  ASSERT_EQ(AcquireKeyContext("same", kMsStrongProv, 1, kCryptDeleteKeyset, &context),
            kErrorSuccess);
  EXPECT_EQ(AcquireKeyContext("same", kMsEnhancedProv, 1, 0, &context), kErrorSuccess);
}

TEST_F(KeyContainersTest, EnumerationFollowsCreationOrder) {
  std::unique_ptr<KeyContext> context;
  for (const char* name : {"zulu", "alpha", "Mike", "bravo"}) {
    ASSERT_EQ(AcquireKeyContext(name, kMsEnhancedProv, 1, kCryptNewKeyset, &context),
              kErrorSuccess);
  }
  ASSERT_EQ(AcquireKeyContext("other", kMsDefProv, 1, kCryptNewKeyset, &context), kErrorSuccess);
  EXPECT_EQ(Containers(kMsEnhancedProv),
            (std::vector<std::string>{"zulu", "alpha", "Mike", "bravo"}));
  ASSERT_EQ(AcquireKeyContext("alpha", kMsEnhancedProv, 1, kCryptDeleteKeyset, &context),
            kErrorSuccess);
  ASSERT_EQ(AcquireKeyContext("alpha", kMsEnhancedProv, 1, kCryptNewKeyset, &context),
            kErrorSuccess);
  EXPECT_EQ(Containers(kMsEnhancedProv),
            (std::vector<std::string>{"zulu", "Mike", "bravo", "alpha"}));
  EXPECT_EQ(Containers(kMsDefProv), (std::vector<std::string>{"other"}));
  EXPECT_TRUE(Containers(kMsEnhRsaAesProv, kProvRsaAes).empty());
}

TEST_F(KeyContainersTest, VerificationContextHasNoContainerAndNoKeys) {
  std::unique_ptr<KeyContext> context;
  EXPECT_EQ(AcquireKeyContext("named", kMsEnhancedProv, 1, kCryptVerifyContext, &context),
            kNteBadFlags);
  EXPECT_EQ(
      AcquireKeyContext("", kMsEnhancedProv, 1, kCryptVerifyContext | kCryptDeleteKeyset, &context),
      kNteBadFlags);
  ASSERT_EQ(AcquireKeyContext("", kMsEnhancedProv, 1, kCryptVerifyContext, &context),
            kErrorSuccess);
  EXPECT_TRUE(context->IsVerifyContext());
  EXPECT_EQ(context->ContainerName(), "");
  EXPECT_EQ(context->GenerateKey(kAtSignature, 512u << 16), kNtePerm);
  KeyPairInfo info;
  EXPECT_EQ(context->GetKeyInfo(kAtSignature, &info), kNteNoKey);
  std::vector<uint8_t> out;
  EXPECT_EQ(context->ExportPublicKeyInfo(kAtKeyExchange, &out), kNteNoKey);
  EXPECT_EQ(context->SignHash(kAtKeyExchange, kCalgSha1, std::vector<uint8_t>(20), 0, &out),
            kNteNoKey);
  // A verification context made no container.
  EXPECT_TRUE(Containers(kMsEnhancedProv).empty());
}

TEST_F(KeyContainersTest, FlagRulesAndNameLimits) {
  std::unique_ptr<KeyContext> context;
  EXPECT_EQ(AcquireKeyContext("x", kMsEnhancedProv, 1, 0x4, &context), kNteBadFlags);
  EXPECT_EQ(AcquireKeyContext("x", kMsEnhancedProv, 1, 0x10000000, &context), kNteBadFlags);
  EXPECT_EQ(
      AcquireKeyContext("x", kMsEnhancedProv, 1, kCryptNewKeyset | kCryptDeleteKeyset, &context),
      kNteBadFlags);
  EXPECT_EQ(AcquireKeyContext(std::string(261, 'n'), kMsEnhancedProv, 1, kCryptNewKeyset, &context),
            kNteBadKeysetParam);
  EXPECT_EQ(
      AcquireKeyContext(std::string("a\0b", 3), kMsEnhancedProv, 1, kCryptNewKeyset, &context),
      kNteBadKeysetParam);
  EXPECT_EQ(context, nullptr);
  ASSERT_EQ(AcquireKeyContext(std::string(260, 'n'), kMsEnhancedProv, 1,
                              kCryptNewKeyset | kCryptSilent | kCryptMachineKeyset, &context),
            kErrorSuccess);
  // Non-ASCII (ANSI) names are kept byte for byte.
  const std::string big5 = "\xB0\xEA\xAE\x61";
  ASSERT_EQ(AcquireKeyContext(big5, kMsEnhancedProv, 1, kCryptNewKeyset, &context), kErrorSuccess);
  ASSERT_EQ(AcquireKeyContext(big5, kMsEnhancedProv, 1, 0, &context), kErrorSuccess);
  EXPECT_EQ(context->ContainerName(), big5);
}

TEST_F(KeyContainersTest, EmptyContainerNameIsTheUsersDefaultContainer) {
  std::unique_ptr<KeyContext> context;
  ASSERT_EQ(AcquireKeyContext("", kMsEnhancedProv, 1, kCryptNewKeyset, &context), kErrorSuccess);
  const std::string name = context->ContainerName();
  EXPECT_FALSE(name.empty());
  EXPECT_EQ(AcquireKeyContext("", kMsEnhancedProv, 1, kCryptNewKeyset, &context), kNteExists);
  ASSERT_EQ(AcquireKeyContext(name, kMsEnhancedProv, 1, 0, &context), kErrorSuccess);
}

TEST_F(KeyContainersTest, UnreachableStateIsReportedNotHidden) {
  // The state folder would have to be made below a regular file.
  const std::string blocker = test::TestRoot() + "/blocker-" + std::to_string(getpid());
  ASSERT_TRUE(test::WriteFile(blocker, "x"));
  setenv("ZYQSEC_HOME", (blocker + "/state").c_str(), 1);
  std::unique_ptr<KeyContext> context;
  EXPECT_EQ(AcquireKeyContext("c", kMsEnhancedProv, 1, kCryptNewKeyset, &context),
            kErrorPathNotFound);
  EXPECT_EQ(AcquireKeyContext("c", kMsEnhancedProv, 1, 0, &context), kErrorPathNotFound);
  EXPECT_EQ(context, nullptr);
  ProviderInfo provider;
  EXPECT_EQ(EnumProvider(0, &provider), kErrorPathNotFound);
  EXPECT_EQ(InstallProvider("Acme", 1), kErrorPathNotFound);
  // The built-in providers are still known.
  EXPECT_EQ(ListProviders().size(), 4u);
  ASSERT_EQ(AcquireKeyContext("", kMsEnhancedProv, 1, kCryptVerifyContext, &context),
            kErrorSuccess);
  std::vector<std::string> names;
  EXPECT_EQ(context->EnumContainers(&names), kErrorPathNotFound);
}

}  // namespace
}  // namespace zyq::platform
