// CreatePKCS10: the key container and key it makes, the request it returns (checked by an
// independent reader), and each failure with its code and system error.
#include "enroll/RequestCreation.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/SecurityEngine.h"
#include "platform/CryptoKeys.h"
#include "platform/Providers.h"
#include "platform/Text.h"
#include "tests/enroll/EnrollTestSupport.h"
#include "tests/enroll/TestAuthority.h"

namespace zyq {
namespace {

using enroll::CspSettings;
using platform::Bstr;
using platform::KeyPairInfo;
using test::Der;

std::vector<std::string> Containers(const std::string& provider) {
  std::unique_ptr<platform::KeyContext> context;
  std::vector<std::string> names;
  if (platform::AcquireKeyContext("", provider, platform::kProvRsaFull,
                                  platform::kCryptVerifyContext, &context) == 0) {
    context->EnumContainers(&names);
  }
  return names;
}

// The key of keySpec in the one container of the provider.
bool OnlyKey(const std::string& provider, uint32_t keySpec, KeyPairInfo* info,
             std::string* container = nullptr) {
  const std::vector<std::string> names = Containers(provider);
  if (names.size() != 1) return false;
  std::unique_ptr<platform::KeyContext> context;
  if (platform::AcquireKeyContext(names[0], provider, platform::kProvRsaFull, 0, &context) != 0) {
    return false;
  }
  if (container) *container = names[0];
  return context->GetKeyInfo(keySpec, info) == 0;
}

// Base64 characters on one line, with at most two '=' at the end.
bool IsOneLineBase64(const std::string& text) {
  const size_t body = text.find_last_not_of('=') + 1;
  if (text.empty() || text.size() % 4 != 0 || text.size() - body > 2) return false;
  return text.find_first_not_of(
             "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/") >= body;
}

// Five groups of 8, 4, 4, 4 and 12 upper-case hexadecimal digits joined by '-'.
bool IsUpperCaseUuid(const std::string& text) {
  if (text.size() != 36) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    const char c = text[i];
    if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

// The DER request that CreatePKCS10 returns in Base64.
Der Request(SecurityEngine& engine, const char16_t* commonName) {
  return test::FromBase64(
      platform::WideToUtf8(engine.CreatePKCS10(Bstr::FromWide(commonName)).View()));
}

class RequestCreationTest : public test::EnrollStateTest {
 protected:
  // An engine with a provider chosen and small keys.
  std::unique_ptr<SecurityEngine> Engine(const std::string& provider = platform::kMsEnhancedProv,
                                         int bits = 512) {
    auto engine = std::make_unique<SecurityEngine>();
    EXPECT_EQ(engine->SetProviderName(Bstr::FromAnsi(provider)), 0);
    EXPECT_EQ(engine->SetKeyBits(bits), 0);
    return engine;
  }
};

TEST_F(RequestCreationTest, RequestVerifiesAndCarriesOneBmpCommonName) {
  auto engine = Engine();
  const Bstr request = engine->CreatePKCS10(Bstr::FromWide(u"Tester0001"));
  ASSERT_EQ(engine->GetErrorCode(), 0);
  EXPECT_EQ(engine->GetCapiErrorCode(), 0);
  const std::string text = platform::WideToUtf8(request.View());
  // One line of Base64, no armour.
  EXPECT_TRUE(IsOneLineBase64(text)) << text;

  const Der der = test::FromBase64(text);
  std::string dump;
  EXPECT_TRUE(test::RequestSignatureVerifies(der, folder(), &dump)) << dump;
  const test::RequestFacts facts = test::ReadRequest(der);
  ASSERT_TRUE(facts.parsed);
  EXPECT_EQ(facts.version, 0);
  EXPECT_EQ(facts.nameEntries, 1);
  EXPECT_EQ(facts.nameRdns, 1);
  EXPECT_EQ(facts.cnOid, "2.5.4.3");
  EXPECT_EQ(facts.cnType, 30);  // BMPString
  EXPECT_EQ(facts.cnValue.size(), 20u);
  EXPECT_EQ(facts.cnValue[0], 0);
  EXPECT_EQ(facts.cnValue[1], 'T');
  EXPECT_EQ(facts.attributes, 0);
  EXPECT_EQ(facts.signatureOid, "1.2.840.113549.1.1.5");
  EXPECT_TRUE(facts.signatureParamsNull);
  EXPECT_EQ(facts.keyBits, 512);

  // The container is named by an upper-case UUID and holds the key of the request.
  KeyPairInfo info;
  std::string container;
  ASSERT_TRUE(OnlyKey(platform::kMsEnhancedProv, 1, &info, &container));
  EXPECT_TRUE(IsUpperCaseUuid(container)) << container;
  std::unique_ptr<platform::KeyContext> context;
  ASSERT_EQ(platform::AcquireKeyContext(container, platform::kMsEnhancedProv, 1, 0, &context), 0u);
  std::vector<uint8_t> spki;
  ASSERT_EQ(context->ExportPublicKeyInfo(1, &spki), 0u);
  EXPECT_EQ(spki, facts.spki);
}

TEST_F(RequestCreationTest, ChineseCommonNameIsReadThroughTheAnsiCodePage) {
  auto engine = Engine();
  const test::RequestFacts chinese = test::ReadRequest(Request(*engine, u"王小明"));
  ASSERT_EQ(engine->GetErrorCode(), 0);
  ASSERT_TRUE(chinese.parsed);
  EXPECT_EQ(chinese.cnValue, (Der{0x73, 0x8b, 0x5c, 0x0f, 0x66, 0x0e}));

  // A character that the code page cannot hold arrives as '?'.
  const test::RequestFacts lost = test::ReadRequest(Request(*engine, u"Aä"));
  ASSERT_EQ(engine->GetErrorCode(), 0);
  EXPECT_EQ(lost.cnValue, (Der{0, 'A', 0, '?'}));
}

TEST_F(RequestCreationTest, SameNameTwiceMakesTwoContainersAndTwoKeys) {
  auto engine = Engine();
  const Der first = Request(*engine, u"Same");
  const Der second = Request(*engine, u"Same");
  ASSERT_EQ(engine->GetErrorCode(), 0);
  EXPECT_EQ(Containers(platform::kMsEnhancedProv).size(), 2u);
  EXPECT_NE(test::ReadRequest(first).spki, test::ReadRequest(second).spki);
}

TEST_F(RequestCreationTest, KeyIsMadeWithTheSettings) {
  test::KeyAccessHost allow(true);
  platform::SetDialogHostForTesting(&allow);
  auto engine = Engine(platform::kMsStrongProv, 1024);
  engine->SetKeySpec(2);
  engine->SetGenKeyFlags(3);
  const Der der = Request(*engine, u"Flags");
  ASSERT_EQ(engine->GetErrorCode(), 0);
  EXPECT_TRUE(test::RequestSignatureVerifies(der, folder(), nullptr));
  // Signing the request used the user-protected key, which asked the user.
  EXPECT_GE(allow.asked, 1);
  KeyPairInfo info;
  ASSERT_TRUE(OnlyKey(platform::kMsStrongProv, 2, &info));
  EXPECT_EQ(info.bits, 1024u);
  EXPECT_EQ(info.flags, platform::kCryptExportable | platform::kCryptUserProtected);
  KeyPairInfo none;
  EXPECT_FALSE(OnlyKey(platform::kMsStrongProv, 1, &none));
}

TEST_F(RequestCreationTest, RefusedKeyLengthFallsBackTo1024AndFlagsZeroGiveAPlainKey) {
  auto engine = Engine(platform::kMsEnhancedProv, 2048);
  EXPECT_EQ(engine->SetKeyBits(4096), 5301);
  engine->SetGenKeyFlags(0);
  const Der der = Request(*engine, u"Len");
  ASSERT_EQ(engine->GetErrorCode(), 0);
  EXPECT_EQ(test::ReadRequest(der).keyBits, 1024);
  KeyPairInfo info;
  ASSERT_TRUE(OnlyKey(platform::kMsEnhancedProv, 1, &info));
  EXPECT_EQ(info.flags, 0u);
}

TEST_F(RequestCreationTest, OtherProvidersGetTheKeyLengthAlone) {
  ASSERT_EQ(platform::InstallProvider("Acme Soft RSA", 1), 0u);
  auto engine = Engine("Acme Soft RSA", 2048);
  engine->SetGenKeyFlags(3);
  const Der der = Request(*engine, u"Plain");
  ASSERT_EQ(engine->GetErrorCode(), 0);
  EXPECT_TRUE(test::RequestSignatureVerifies(der, folder(), nullptr));
  KeyPairInfo info;
  ASSERT_TRUE(OnlyKey("Acme Soft RSA", 1, &info));
  EXPECT_EQ(info.bits, 2048u);
  EXPECT_EQ(info.flags, 0u);  // neither exportable nor user-protected
}

// ---- Failures ----

TEST_F(RequestCreationTest, EmptyNameOrNoProviderMakeNoContainer) {
  SecurityEngine engine;
  EXPECT_TRUE(engine.CreatePKCS10(Bstr::FromWide(u"NoProvider")).Empty());
  EXPECT_EQ(engine.GetErrorCode(), 5046);
  EXPECT_EQ(engine.GetCapiErrorCode(), 0);
  ASSERT_EQ(engine.SetProviderName(Bstr::FromAnsi(platform::kMsEnhancedProv)), 0);
  EXPECT_TRUE(engine.CreatePKCS10(Bstr()).Empty());
  EXPECT_EQ(engine.GetErrorCode(), 5005);
  EXPECT_TRUE(engine.CreatePKCS10(Bstr::FromWide(u"")).Empty());
  EXPECT_EQ(engine.GetErrorCode(), 5005);
  for (const char* provider :
       {platform::kMsDefProv, platform::kMsEnhancedProv, platform::kMsStrongProv}) {
    EXPECT_TRUE(Containers(provider).empty()) << provider;
  }
}

// Makes chosen services fail; the rest is the real platform.
class FaultyPort : public enroll::EnrollmentPort {
 public:
  platform::SysError uuidError = 0;
  std::string fixedName;  // when set, every new container gets this name

  platform::SysError NewContainerName(std::string* name) override {
    if (uuidError) return uuidError;
    if (!fixedName.empty()) {
      *name = fixedName;
      return 0;
    }
    return EnrollmentPort::NewContainerName(name);
  }
};

class RequestFailureTest : public test::EnrollStateTest {
 protected:
  CspSettings Settings(const std::string& provider) {
    CspSettings settings;
    EXPECT_EQ(settings.SetProviderName(provider), 0);
    EXPECT_EQ(settings.SetKeyBits(512), 0);
    return settings;
  }
};

TEST_F(RequestFailureTest, ContainerThatCannotBeCreatedGives5203) {
  FaultyPort port;
  port.fixedName = "11111111-2222-3333-4444-555555555555";
  CspSettings settings = Settings(platform::kMsEnhancedProv);
  EXPECT_FALSE(enroll::CreatePkcs10Request(settings, "first", port).empty());
  EXPECT_EQ(settings.result(), 0);
  // The name is taken now.
  EXPECT_TRUE(enroll::CreatePkcs10Request(settings, "second", port).empty());
  EXPECT_EQ(settings.result(), 5203);
  EXPECT_EQ(settings.systemError(), platform::kNteExists);

  // A provider that was removed after it was chosen.
  ASSERT_EQ(platform::InstallProvider("Gone Soft RSA", 1), 0u);
  CspSettings gone = Settings("Gone Soft RSA");
  ASSERT_EQ(platform::RemoveProvider("Gone Soft RSA"), 0u);
  EXPECT_TRUE(enroll::CreatePkcs10Request(gone, "x").empty());
  EXPECT_EQ(gone.result(), 5203);
  EXPECT_EQ(gone.systemError(), platform::kNteKeysetNotDef);
}

TEST_F(RequestFailureTest, EachFailingStepOfTheKeyAndRequestGives5302) {
  {
    FaultyPort port;
    port.uuidError = platform::kNteFail;
    CspSettings settings = Settings(platform::kMsEnhancedProv);
    EXPECT_TRUE(enroll::CreatePkcs10Request(settings, "uuid", port).empty());
    EXPECT_EQ(settings.result(), 5302);
    EXPECT_EQ(settings.systemError(), platform::kNteFail);
    EXPECT_TRUE(Containers(platform::kMsEnhancedProv).empty());
  }
  {
    // The Base provider makes exchange keys of at most 1024 bits; the empty container stays.
    CspSettings settings = Settings(platform::kMsDefProv);
    ASSERT_EQ(settings.SetKeyBits(2048), 0);
    EXPECT_TRUE(enroll::CreatePkcs10Request(settings, "keygen").empty());
    EXPECT_EQ(settings.result(), 5302);
    EXPECT_EQ(settings.systemError(), platform::kNteBadFlags);
    EXPECT_EQ(Containers(platform::kMsDefProv).size(), 1u);
  }
}

TEST_F(RequestFailureTest, RefusingTheProtectedKeyFailsTheSignature) {
  test::KeyAccessHost refuse(false);
  platform::SetDialogHostForTesting(&refuse);
  SecurityEngine engine;
  ASSERT_EQ(engine.SetProviderName(Bstr::FromAnsi(platform::kMsEnhancedProv)), 0);
  engine.SetKeyBits(512);
  engine.SetGenKeyFlags(2);
  EXPECT_TRUE(engine.CreatePKCS10(Bstr::FromWide(u"Refused")).Empty());
  EXPECT_EQ(engine.GetErrorCode(), 5302);
  EXPECT_EQ(static_cast<uint32_t>(engine.GetCapiErrorCode()), platform::kErrorCancelled);
  EXPECT_EQ(refuse.asked, 1);
  // A later success clears the system error.
  engine.SetGenKeyFlags(1);
  EXPECT_FALSE(engine.CreatePKCS10(Bstr::FromWide(u"Allowed")).Empty());
  EXPECT_EQ(engine.GetErrorCode(), 0);
  EXPECT_EQ(engine.GetCapiErrorCode(), 0);
}

}  // namespace
}  // namespace zyq
