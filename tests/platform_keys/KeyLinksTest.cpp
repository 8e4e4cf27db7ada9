// The services for certificates and PKCS#12: importing private keys (reusing the container of
// a key already held), exporting them, and finding the container of a public key.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include "platform/CryptoKeys.h"
#include "platform/posix/OpenSslPtr.h"
#include "tests/platform_keys/KeyTestSupport.h"
#include "tests/support/UuidText.h"

namespace zyq::platform {
namespace {

class KeyLinksTest : public test::KeyStateTest {
 protected:
  static void SetUpTestSuite() {
    key1_ = test::OpenSslRsaKeyDer(1024);
    key2_ = test::OpenSslRsaKeyDer(512);
  }
  static std::vector<uint8_t> key1_, key2_;
};
std::vector<uint8_t> KeyLinksTest::key1_;
std::vector<uint8_t> KeyLinksTest::key2_;

size_t ContainerCount(const char* provider = kMsEnhancedProv, uint32_t type = kProvRsaFull) {
  std::unique_ptr<KeyContext> context;
  EXPECT_EQ(AcquireKeyContext("", provider, type, kCryptVerifyContext, &context), kErrorSuccess);
  std::vector<std::string> names;
  EXPECT_EQ(context->EnumContainers(&names), kErrorSuccess);
  return names.size();
}

TEST_F(KeyLinksTest, ImportGivesAFreshUuidContainerThatExportsTheSameKey) {
  KeyProvInfo link;
  ASSERT_EQ(ImportPrivateKey(key1_, kMsEnhancedProv, 1, kAtKeyExchange, kCryptExportable, &link),
            kErrorSuccess);
  EXPECT_TRUE(test::IsUpperCaseUuidText(link.containerName)) << link.containerName;
  EXPECT_EQ(link.providerName, kMsEnhancedProv);
  EXPECT_EQ(link.providerType, 1u);
  EXPECT_EQ(link.flags, 0u);
  EXPECT_EQ(link.keySpec, kAtKeyExchange);

  SecretBytes exported;
  ASSERT_EQ(ExportPrivateKey(link, &exported), kErrorSuccess);
  EXPECT_EQ(exported.bytes(), key1_);
  std::unique_ptr<KeyContext> context;
  ASSERT_EQ(AcquireKeyContext(link, &context), kErrorSuccess);
  std::vector<uint8_t> spki;
  ASSERT_EQ(context->ExportPublicKeyInfo(kAtKeyExchange, &spki), kErrorSuccess);
  EXPECT_EQ(spki, test::OpenSslPublicKeyInfo(key1_));
  KeyPairInfo info;
  ASSERT_EQ(context->GetKeyInfo(kAtKeyExchange, &info), kErrorSuccess);
  EXPECT_EQ(info.bits, 1024u);
}

TEST_F(KeyLinksTest, PkcsOneFormImportsTheSameKey) {
  const auto pkcs1 = test::OpenSslRsaKeyDer(512, true);
  KeyProvInfo link;
  ASSERT_EQ(ImportPrivateKey(pkcs1, kMsEnhancedProv, 1, kAtSignature, kCryptExportable, &link),
            kErrorSuccess);
  bool matches = false;
  ASSERT_EQ(PublicKeyMatches(link, test::OpenSslPublicKeyInfo(pkcs1), &matches), kErrorSuccess);
  EXPECT_TRUE(matches);
  uint32_t flags = 0;
  ASSERT_EQ(PublicKeyMatches(link, test::OpenSslPublicKeyInfo(key1_), &matches, &flags),
            kErrorSuccess);
  EXPECT_FALSE(matches);
  EXPECT_EQ(flags, kCryptExportable);
}

TEST_F(KeyLinksTest, ImportingTheSameKeyAThousandTimesKeepsOneContainer) {
  KeyProvInfo first;
  ASSERT_EQ(ImportPrivateKey(key1_, kMsEnhancedProv, 1, kAtKeyExchange, kCryptExportable, &first),
            kErrorSuccess);
  for (int i = 0; i < 999; ++i) {
    KeyProvInfo again;
    ASSERT_EQ(ImportPrivateKey(key1_, kMsEnhancedProv, 1, kAtKeyExchange, kCryptExportable, &again),
              kErrorSuccess);
    ASSERT_EQ(again, first);
  }
  EXPECT_EQ(ContainerCount(), 1u);
  // The latest import's flags apply to the reused container.
  KeyProvInfo locked;
  ASSERT_EQ(ImportPrivateKey(key1_, kMsEnhancedProv, 1, kAtKeyExchange, 0, &locked), kErrorSuccess);
  EXPECT_EQ(locked, first);
  SecretBytes out;
  EXPECT_EQ(ExportPrivateKey(locked, &out), kNteBadKeyState);
}

TEST_F(KeyLinksTest, OtherProviderOrKeySpecGetsItsOwnContainer) {
  KeyProvInfo a, b, c, d;
  ASSERT_EQ(ImportPrivateKey(key2_, kMsEnhancedProv, 1, kAtKeyExchange, 0, &a), kErrorSuccess);
  ASSERT_EQ(ImportPrivateKey(key2_, kMsStrongProv, 1, kAtKeyExchange, 0, &b), kErrorSuccess);
  ASSERT_EQ(ImportPrivateKey(key2_, kMsEnhancedProv, 1, kAtSignature, 0, &c), kErrorSuccess);
  ASSERT_EQ(ImportPrivateKey(key1_, kMsEnhancedProv, 1, kAtKeyExchange, 0, &d), kErrorSuccess);
  EXPECT_NE(a.containerName, c.containerName);
  EXPECT_NE(a.containerName, d.containerName);
  EXPECT_EQ(b.providerName, kMsStrongProv);
  EXPECT_EQ(ContainerCount(), 3u);
  EXPECT_EQ(ContainerCount(kMsStrongProv), 1u);
  // Empty provider name: the type's default provider.
  KeyProvInfo e;
  ASSERT_EQ(ImportPrivateKey(key2_, "", 24, kAtKeyExchange, 0, &e), kErrorSuccess);
  EXPECT_EQ(e.providerName, kMsEnhRsaAesProv);
  EXPECT_EQ(e.providerType, 24u);
}

TEST_F(KeyLinksTest, BadImportsAreRefusedAndLeaveNothing) {
  KeyProvInfo link;
  auto withTrailer = key1_;
  withTrailer.push_back(0);
  auto truncated = key1_;
  truncated.resize(truncated.size() - 1);
  EXPECT_EQ(ImportPrivateKey({}, kMsEnhancedProv, 1, 1, 0, &link), kNteBadData);
  EXPECT_EQ(ImportPrivateKey(test::Bytes({0x30, 0x03, 0x02, 0x01, 0x00}), kMsEnhancedProv, 1, 1, 0,
                             &link),
            kNteBadData);
  EXPECT_EQ(ImportPrivateKey(withTrailer, kMsEnhancedProv, 1, 1, 0, &link), kNteBadData);
  EXPECT_EQ(ImportPrivateKey(truncated, kMsEnhancedProv, 1, 1, 0, &link), kNteBadData);
  EXPECT_EQ(ImportPrivateKey(key1_, kMsEnhancedProv, 1, 3, 0, &link), kNteBadAlgid);
  EXPECT_EQ(ImportPrivateKey(key1_, kMsEnhancedProv, 1, 1, 0x4, &link), kNteBadFlags);
  EXPECT_EQ(ImportPrivateKey(key1_, "No Such CSP", 1, 1, 0, &link), kNteKeysetNotDef);
  EXPECT_EQ(ImportPrivateKey(key1_, kMsEnhancedProv, 24, 1, 0, &link), kNteProvTypeNoMatch);

  const posix::OpenSslPtr<EVP_PKEY> ec(EVP_EC_gen("P-256"));
  ASSERT_NE(ec, nullptr);
  unsigned char* der = nullptr;
  const posix::OpenSslPtr<PKCS8_PRIV_KEY_INFO> p8(EVP_PKEY2PKCS8(ec.get()));
  const int n = i2d_PKCS8_PRIV_KEY_INFO(p8.get(), &der);
  const posix::OpenSslPtr<unsigned char> owner(der);
  const std::vector<uint8_t> ecKey(der, der + n);
  EXPECT_EQ(ImportPrivateKey(ecKey, kMsEnhancedProv, 1, 1, 0, &link), kNteBadAlgid);

  EXPECT_EQ(link, KeyProvInfo{});
  EXPECT_EQ(ContainerCount(), 0u);
}

TEST_F(KeyLinksTest, ExportErrorsNameWhatIsMissing) {
  SecretBytes out;
  EXPECT_EQ(ExportPrivateKey({"nothing-here", kMsEnhancedProv, 1, 0, kAtKeyExchange}, &out),
            kNteBadKeyset);
  KeyProvInfo link;
  ASSERT_EQ(ImportPrivateKey(key2_, kMsEnhancedProv, 1, kAtKeyExchange, kCryptExportable, &link),
            kErrorSuccess);
  KeyProvInfo otherSpec = link;
  otherSpec.keySpec = kAtSignature;
  EXPECT_EQ(ExportPrivateKey(otherSpec, &out), kNteNoKey);
  KeyProvInfo wrongProvider = link;
  wrongProvider.providerName = "Gone CSP";
  EXPECT_EQ(ExportPrivateKey(wrongProvider, &out), kNteKeysetNotDef);
  EXPECT_TRUE(out.bytes().empty());
}

TEST_F(KeyLinksTest, FindSearchesProvidersInOrderThenContainersThenSpecs) {
  const auto spki1 = test::OpenSslPublicKeyInfo(key1_);
  KeyProvInfo found;
  EXPECT_EQ(FindKeyByPublicKey(spki1, nullptr, &found), kCryptENotFound);

  KeyProvInfo strong, enhanced;
  ASSERT_EQ(ImportPrivateKey(key1_, kMsStrongProv, 1, kAtSignature, 0, &strong), kErrorSuccess);
  ASSERT_EQ(ImportPrivateKey(key1_, kMsEnhancedProv, 1, kAtSignature, 0, &enhanced), kErrorSuccess);
  ASSERT_EQ(FindKeyByPublicKey(spki1, nullptr, &found), kErrorSuccess);
  EXPECT_EQ(found, enhanced);  // Enhanced comes before Strong in enumeration order
  ASSERT_EQ(FindKeyByPublicKey(
                spki1, [](const ProviderInfo& p) { return p.name != kMsEnhancedProv; }, &found),
            kErrorSuccess);
  EXPECT_EQ(found, strong);

  // Within a provider: the first container made, and in it the exchange key first.
  KeyProvInfo later;
  ASSERT_EQ(ImportPrivateKey(key1_, kMsEnhancedProv, 1, kAtKeyExchange, 0, &later), kErrorSuccess);
  ASSERT_EQ(FindKeyByPublicKey(spki1, nullptr, &found), kErrorSuccess);
  EXPECT_EQ(found, enhanced);

  // A provider whose name sorts first is searched first, unless the caller skips it.
  ASSERT_EQ(InstallProvider("Acme CSP", 1), kErrorSuccess);
  KeyProvInfo acme;
  ASSERT_EQ(ImportPrivateKey(key1_, "Acme CSP", 1, kAtKeyExchange, 0, &acme), kErrorSuccess);
  ASSERT_EQ(FindKeyByPublicKey(spki1, nullptr, &found), kErrorSuccess);
  EXPECT_EQ(found, acme);
  ASSERT_EQ(FindKeyByPublicKey(
                spki1,
                [](const ProviderInfo& p) { return p.name.find("Microsoft") != std::string::npos; },
                &found),
            kErrorSuccess);
  EXPECT_EQ(found, enhanced);
}

TEST_F(KeyLinksTest, FindComparesTheKeyBitsNotTheAlgorithmIdentifier) {
  KeyProvInfo link;
  ASSERT_EQ(ImportPrivateKey(key2_, kMsEnhancedProv, 1, kAtKeyExchange, 0, &link), kErrorSuccess);
  auto spki = test::OpenSslPublicKeyInfo(key2_);
  // Drop the NULL parameters (05 00) from the algorithm identifier, as some encoders do.
  ASSERT_EQ(spki[1], 0x5C);
  ASSERT_EQ(spki[3], 0x0D);
  std::vector<uint8_t> noNull = {0x30, 0x5A, 0x30, 0x0B};
  noNull.insert(noNull.end(), spki.begin() + 4, spki.begin() + 15);
  noNull.insert(noNull.end(), spki.begin() + 17, spki.end());
  KeyProvInfo found;
  ASSERT_EQ(FindKeyByPublicKey(noNull, nullptr, &found), kErrorSuccess);
  EXPECT_EQ(found, link);
  bool matches = false;
  ASSERT_EQ(PublicKeyMatches(link, noNull, &matches), kErrorSuccess);
  EXPECT_TRUE(matches);

  EXPECT_EQ(FindKeyByPublicKey(test::Bytes({0x04, 0x00}), nullptr, &found), kCryptEAsn1Badtag);
  EXPECT_EQ(PublicKeyMatches(link, test::Bytes({0x30, 0x05, 0x30}), &matches), kCryptEAsn1Eod);
}

}  // namespace
}  // namespace zyq::platform
