// Provider enumeration, installation of further providers, and the provider errors of
// AcquireKeyContext.
#include <gtest/gtest.h>

#include "platform/CryptoKeys.h"
#include "platform/Providers.h"
#include "platform/posix/StateDatabase.h"
#include "tests/platform_keys/KeyTestSupport.h"

namespace zyq::platform {
namespace {

using ProvidersTest = test::KeyStateTest;

std::vector<ProviderInfo> EnumerateAll(SysError* end) {
  std::vector<ProviderInfo> out;
  ProviderInfo p;
  uint32_t index = 0;
  while ((*end = EnumProvider(index++, &p)) == kErrorSuccess) out.push_back(p);
  return out;
}

TEST_F(ProvidersTest, BuiltInProvidersInEnumerationOrderThenNoMoreItems) {
  SysError end = 0;
  const std::vector<ProviderInfo> expected = {
      {"Microsoft Base Cryptographic Provider v1.0", 1},
      {"Microsoft Enhanced Cryptographic Provider v1.0", 1},
      {"Microsoft Enhanced RSA and AES Cryptographic Provider", 24},
      {"Microsoft Strong Cryptographic Provider", 1},
  };
  EXPECT_EQ(EnumerateAll(&end), expected);
  EXPECT_EQ(end, kErrorNoMoreItems);
  EXPECT_EQ(ListProviders(), expected);
  ProviderInfo p;
  EXPECT_EQ(EnumProvider(1000, &p), kErrorNoMoreItems);

  // A state database that holds other state but no key tables yet lists the same, and is read
  // without being given the key tables.
  posix::StateDatabase::CloseForTesting();
  ASSERT_NE(posix::StateDatabase::Open(), nullptr);
  EXPECT_EQ(EnumerateAll(&end), expected);
  EXPECT_EQ(end, kErrorNoMoreItems);
  posix::Statement tables(posix::StateDatabase::Open()->handle(),
                          "SELECT count(*) FROM sqlite_master WHERE name LIKE 'key%'");
  ASSERT_EQ(tables.Step(), SQLITE_ROW);
  EXPECT_EQ(tables.ColumnInt(0), 0);
}

TEST_F(ProvidersTest, InstalledProvidersSortByNameIgnoringCaseAndPersist) {
  ASSERT_EQ(InstallProvider("Acme Token CSP", 1), kErrorSuccess);
  ASSERT_EQ(InstallProvider("zeta soft provider", 1), kErrorSuccess);
  ASSERT_EQ(InstallProvider("Microsoft Extra DSS Provider", 3), kErrorSuccess);
  SysError end = 0;
  const auto all = EnumerateAll(&end);
  ASSERT_EQ(all.size(), 7u);
  EXPECT_EQ(all[0], (ProviderInfo{"Acme Token CSP", 1}));
  EXPECT_EQ(all[1].name, kMsDefProv);
  EXPECT_EQ(all[2].name, kMsEnhancedProv);
  EXPECT_EQ(all[3].name, kMsEnhRsaAesProv);
  EXPECT_EQ(all[4], (ProviderInfo{"Microsoft Extra DSS Provider", 3}));
  EXPECT_EQ(all[5].name, kMsStrongProv);
  EXPECT_EQ(all[6], (ProviderInfo{"zeta soft provider", 1}));

  // A new connection (as another process opens) sees the same list.
  posix::StateDatabase::CloseForTesting();
  EXPECT_EQ(ListProviders(), all);
  // Lookup ignores letter case and gives the installed spelling.
  ProviderInfo found;
  EXPECT_EQ(FindProvider("ACME TOKEN csp", &found), kErrorSuccess);
  EXPECT_EQ(found, (ProviderInfo{"Acme Token CSP", 1}));
}

TEST_F(ProvidersTest, InstallRejectsBadNamesTypesAndDuplicates) {
  EXPECT_EQ(InstallProvider("", 1), kErrorInvalidParameter);
  EXPECT_EQ(InstallProvider("Back\\slash", 1), kErrorInvalidParameter);
  EXPECT_EQ(InstallProvider(std::string(256, 'x'), 1), kErrorInvalidParameter);
  EXPECT_EQ(InstallProvider(std::string("nul\0inside", 10), 1), kErrorInvalidParameter);
  EXPECT_EQ(InstallProvider("Zero Type", 0), kNteBadProvType);
  EXPECT_EQ(InstallProvider("Big Type", 1000), kNteBadProvType);
  EXPECT_EQ(InstallProvider("microsoft strong cryptographic provider", 1), kNteExists);
  ASSERT_EQ(InstallProvider("Acme", 1), kErrorSuccess);
  EXPECT_EQ(InstallProvider("ACME", 24), kNteExists);
  EXPECT_EQ(ListProviders().size(), 5u);
}

TEST_F(ProvidersTest, RemoveTakesTheProviderAndItsContainers) {
  ASSERT_EQ(InstallProvider("Acme", 1), kErrorSuccess);
  std::unique_ptr<KeyContext> context;
  ASSERT_EQ(AcquireKeyContext("c1", "Acme", 1, kCryptNewKeyset, &context), kErrorSuccess);
  EXPECT_EQ(RemoveProvider(kMsEnhancedProv), kErrorAccessDenied);
  EXPECT_EQ(RemoveProvider("acme"), kErrorSuccess);
  EXPECT_EQ(RemoveProvider("Acme"), kNteKeysetNotDef);
  EXPECT_EQ(ListProviders().size(), 4u);
  // Installing the name again starts without the old containers.
  ASSERT_EQ(InstallProvider("Acme", 1), kErrorSuccess);
  EXPECT_EQ(AcquireKeyContext("c1", "Acme", 1, 0, &context), kNteBadKeyset);
}

TEST_F(ProvidersTest, AcquireReportsProviderErrorsAsCryptAcquireContext) {
  std::unique_ptr<KeyContext> context;
  EXPECT_EQ(AcquireKeyContext("", "No Such Provider", 1, kCryptVerifyContext, &context),
            kNteKeysetNotDef);
  EXPECT_EQ(AcquireKeyContext("", kMsEnhancedProv, 24, kCryptVerifyContext, &context),
            kNteProvTypeNoMatch);
  EXPECT_EQ(AcquireKeyContext("", kMsEnhRsaAesProv, 1, kCryptVerifyContext, &context),
            kNteProvTypeNoMatch);
  EXPECT_EQ(AcquireKeyContext("", kMsEnhancedProv, 0, kCryptVerifyContext, &context),
            kNteBadProvType);
  EXPECT_EQ(AcquireKeyContext("", kMsEnhancedProv, 1000, kCryptVerifyContext, &context),
            kNteBadProvType);
  EXPECT_EQ(AcquireKeyContext("", "", 13, kCryptVerifyContext, &context), kNteProvTypeNotDef);
  EXPECT_EQ(context, nullptr);
  // Provider names are matched without regard to case; the context reports the real spelling.
  ASSERT_EQ(AcquireKeyContext("", "MICROSOFT ENHANCED CRYPTOGRAPHIC PROVIDER V1.0", 1,
                              kCryptVerifyContext, &context),
            kErrorSuccess);
  EXPECT_EQ(context->ProviderName(), kMsEnhancedProv);
}

TEST_F(ProvidersTest, EmptyProviderNameTakesTheDefaultOfTheType) {
  std::unique_ptr<KeyContext> context;
  ASSERT_EQ(AcquireKeyContext("", "", 1, kCryptVerifyContext, &context), kErrorSuccess);
  EXPECT_EQ(context->ProviderName(), kMsStrongProv);
  ASSERT_EQ(AcquireKeyContext("", "", 24, kCryptVerifyContext, &context), kErrorSuccess);
  EXPECT_EQ(context->ProviderName(), kMsEnhRsaAesProv);
  ASSERT_EQ(InstallProvider("Token B", 13), kErrorSuccess);
  ASSERT_EQ(InstallProvider("Token A", 13), kErrorSuccess);
  ASSERT_EQ(AcquireKeyContext("", "", 13, kCryptVerifyContext, &context), kErrorSuccess);
  EXPECT_EQ(context->ProviderName(), "Token A");
  EXPECT_EQ(context->ProviderType(), 13u);
}

TEST_F(ProvidersTest, InstalledProviderOfAnyNameMakesAndUsesKeys) {
  ASSERT_EQ(InstallProvider("Acme Soft RSA", 1), kErrorSuccess);
  auto context = NewContainerWithKey("acme-key", kAtSignature, kCryptExportable, "Acme Soft RSA");
  ASSERT_NE(context, nullptr);
  std::vector<uint8_t> signature;
  EXPECT_EQ(context->SignHash(kAtSignature, kCalgSha1, std::vector<uint8_t>(20, 7), 0, &signature),
            kErrorSuccess);
  EXPECT_EQ(signature.size(), 64u);
}

}  // namespace
}  // namespace zyq::platform
