// AcceptPKCS7: answers of a test certification authority (bare certificates and PKCS#7 bundles,
// armoured or not) installed into the user's stores with the key
// link, and each failure with its code and system error.
#include "enroll/ResponseAcceptance.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/SecurityEngine.h"
#include "enroll/RequestCreation.h"
#include "platform/CertStores.h"
#include "platform/CryptoKeys.h"
#include "platform/Providers.h"
#include "platform/Text.h"
#include "tests/enroll/EnrollTestSupport.h"
#include "tests/enroll/TestAuthority.h"

namespace zyq {
namespace {

using enroll::CspSettings;
using platform::Bstr;
using platform::CertContext;
using platform::CertStore;
using platform::KeyProvInfo;
using test::Der;

std::vector<CertContext> Contents(const char* storeName) {
  CertStore store;
  std::vector<CertContext> certs;
  if (CertStore::OpenSystem(storeName, &store) == 0) store.Enumerate(&certs);
  return certs;
}

bool Holds(const std::vector<CertContext>& certs, const Der& der) {
  for (const CertContext& cert : certs) {
    if (cert.encoded() == der) return true;
  }
  return false;
}

void EmptyStores() {
  for (const char* name : {platform::kStoreMy, platform::kStoreCa, platform::kStoreRoot}) {
    CertStore store;
    ASSERT_EQ(CertStore::OpenSystem(name, &store), 0u);
    std::vector<CertContext> certs;
    ASSERT_EQ(store.Enumerate(&certs), 0u);
    for (const CertContext& cert : certs) ASSERT_EQ(store.Delete(cert), 0u);
  }
}

class AcceptanceTest : public test::EnrollStateTest {
 protected:
  void SetUp() override {
    EnrollStateTest::SetUp();
    authority_ = std::make_unique<test::TestAuthority>();
    ASSERT_FALSE(authority_->root().empty());
    ASSERT_FALSE(authority_->intermediate().empty());
  }

  // Makes a request with the engine's settings and has the authority issue a certificate.
  Der Enroll(SecurityEngine& engine, const char16_t* commonName, long serial = 1000) {
    const Bstr request = engine.CreatePKCS10(Bstr::FromWide(commonName));
    EXPECT_EQ(engine.GetErrorCode(), 0);
    return authority_->Issue(test::FromBase64(platform::WideToUtf8(request.View())), serial);
  }
  std::unique_ptr<SecurityEngine> Engine(const std::string& provider = platform::kMsEnhancedProv) {
    auto engine = std::make_unique<SecurityEngine>();
    EXPECT_EQ(engine->SetProviderName(Bstr::FromAnsi(provider)), 0);
    EXPECT_EQ(engine->SetKeyBits(512), 0);
    return engine;
  }
  int32_t Accept(SecurityEngine& engine, const std::string& text) {
    return engine.AcceptPKCS7(Bstr::FromAnsi(text));
  }
  // The one certificate of "MY" has a key link to a container whose key is the certificate's.
  void ExpectLinked(const Der& issued, const std::string& provider, uint32_t keySpec) {
    const std::vector<CertContext> my = Contents(platform::kStoreMy);
    ASSERT_EQ(my.size(), 1u);
    EXPECT_EQ(my[0].encoded(), issued);
    ASSERT_TRUE(my[0].keyLink().has_value());
    const KeyProvInfo& link = *my[0].keyLink();
    EXPECT_EQ(link.providerName, provider);
    EXPECT_EQ(link.providerType, 1u);
    EXPECT_EQ(link.flags, 0u);
    EXPECT_EQ(link.keySpec, keySpec);
    bool matches = false;
    EXPECT_EQ(platform::PublicKeyMatches(link, my[0].cert().subjectPublicKeyInfo, &matches), 0u);
    EXPECT_TRUE(matches);
  }

  std::unique_ptr<test::TestAuthority> authority_;
};

TEST_F(AcceptanceTest, BareCertificateIsLinkedAndAddedToMy) {
  auto engine = Engine();
  const Der issued = Enroll(*engine, u"Bare User");
  ASSERT_FALSE(issued.empty());
  EXPECT_EQ(Accept(*engine, test::ToBase64(issued)), 0);
  EXPECT_EQ(engine->GetErrorCode(), 0);
  EXPECT_EQ(engine->GetCapiErrorCode(), 0);
  ExpectLinked(issued, platform::kMsEnhancedProv, 1);
  EXPECT_TRUE(Contents(platform::kStoreRoot).empty());
  EXPECT_TRUE(Contents(platform::kStoreCa).empty());

  // The same certificate armoured, as a second answer: the personal store gets a second copy.
  EXPECT_EQ(Accept(*engine, test::Armoured(issued, "CERTIFICATE")), 0);
  const std::vector<CertContext> my = Contents(platform::kStoreMy);
  ASSERT_EQ(my.size(), 2u);
  EXPECT_EQ(my[1].encoded(), issued);
  EXPECT_EQ(my[1].keyLink(), my[0].keyLink());
}

TEST_F(AcceptanceTest, BundleInstallsRootIntermediateAndUserInEveryForm) {
  auto engine = Engine();
  const Der issued = Enroll(*engine, u"Bundle User");
  const std::vector<Der> chain = {authority_->root(), authority_->intermediate(), issued};
  const std::string der = test::Pkcs7Bundle(chain, folder(), false);
  const std::string pem = test::Pkcs7Bundle(chain, folder(), true);
  ASSERT_FALSE(der.empty());
  ASSERT_NE(pem.find("-----BEGIN PKCS7-----"), std::string::npos);

  for (const std::string& text : {test::ToBase64(Der(der.begin(), der.end())), pem,
                                  test::Armoured(Der(der.begin(), der.end()), "PKCS7")}) {
    SCOPED_TRACE(text.substr(0, 40));
    EmptyStores();
    EXPECT_EQ(Accept(*engine, text), 0);
    ExpectLinked(issued, platform::kMsEnhancedProv, 1);
    const std::vector<CertContext> root = Contents(platform::kStoreRoot);
    const std::vector<CertContext> ca = Contents(platform::kStoreCa);
    ASSERT_EQ(root.size(), 1u);
    EXPECT_EQ(root[0].encoded(), authority_->root());
    ASSERT_EQ(ca.size(), 1u);
    EXPECT_EQ(ca[0].encoded(), authority_->intermediate());
  }
}

TEST_F(AcceptanceTest, TheLastEndEntityCertificateOfTheListIsTheIssuedOne) {
  auto engine = Engine();
  const Der first = Enroll(*engine, u"First", 1001);
  const Der second = Enroll(*engine, u"Second", 1002);
  // The user's certificate first and the authorities after it: order does not matter.
  const std::string bundle =
      test::Pkcs7Bundle({second, authority_->intermediate(), authority_->root()}, folder(), true);
  EXPECT_EQ(Accept(*engine, bundle), 0);
  ExpectLinked(second, platform::kMsEnhancedProv, 1);
  EmptyStores();
  // Of two end-entity certificates the later one is installed.
  EXPECT_EQ(Accept(*engine, test::Pkcs7Bundle({second, first}, folder(), true)), 0);
  ExpectLinked(first, platform::kMsEnhancedProv, 1);
}

TEST_F(AcceptanceTest, AcceptingTwiceAddsTheUserTwiceAndReplacesTheAuthorities) {
  auto engine = Engine();
  const Der issued = Enroll(*engine, u"Twice");
  const std::string bundle =
      test::Pkcs7Bundle({authority_->root(), authority_->intermediate(), issued}, folder(), true);
  EXPECT_EQ(Accept(*engine, bundle), 0);
  EXPECT_EQ(Accept(*engine, bundle), 0);
  const std::vector<CertContext> my = Contents(platform::kStoreMy);
  ASSERT_EQ(my.size(), 2u);
  for (const CertContext& cert : my) {
    EXPECT_EQ(cert.encoded(), issued);
    EXPECT_TRUE(cert.keyLink().has_value());
  }
  EXPECT_EQ(Contents(platform::kStoreRoot).size(), 1u);
  EXPECT_EQ(Contents(platform::kStoreCa).size(), 1u);
}

TEST_F(AcceptanceTest, SignatureKeyIsLinkedWithKeySpec2) {
  auto engine = Engine(platform::kMsStrongProv);
  engine->SetKeySpec(2);
  const Der issued = Enroll(*engine, u"Signer");
  EXPECT_EQ(Accept(*engine, test::ToBase64(issued)), 0);
  ExpectLinked(issued, platform::kMsStrongProv, 2);
}

TEST_F(AcceptanceTest, AuthorityCertificatesAloneGive5060AndAreStillInstalled) {
  auto engine = Engine();
  const std::string bundle =
      test::Pkcs7Bundle({authority_->root(), authority_->intermediate()}, folder(), false);
  EXPECT_EQ(Accept(*engine, test::ToBase64(Der(bundle.begin(), bundle.end()))), 5060);
  EXPECT_EQ(engine->GetCapiErrorCode(), 0);
  EXPECT_TRUE(Holds(Contents(platform::kStoreRoot), authority_->root()));
  EXPECT_TRUE(Holds(Contents(platform::kStoreCa), authority_->intermediate()));
  EXPECT_TRUE(Contents(platform::kStoreMy).empty());

  // A bare certificate is always taken as the issued one, even a self-signed one: it is looked
  // up among the keys, not installed as an authority.
  EXPECT_EQ(Accept(*engine, test::ToBase64(authority_->root())), 5204);
  EXPECT_EQ(Contents(platform::kStoreRoot).size(), 1u);

  // A bundle without any certificate.
  const std::string empty = test::Pkcs7Bundle({}, folder(), true);
  ASSERT_FALSE(empty.empty());
  EXPECT_EQ(Accept(*engine, empty), 5060);
}

TEST_F(AcceptanceTest, KeysOutsideTheSearchedProvidersGive5204) {
  // A provider whose name lacks "Microsoft".
  ASSERT_EQ(platform::InstallProvider("Acme Soft RSA", 1), 0u);
  auto other = Engine("Acme Soft RSA");
  const Der outside = Enroll(*other, u"Outside");
  ASSERT_FALSE(outside.empty());
  const std::string bundle =
      test::Pkcs7Bundle({authority_->root(), authority_->intermediate(), outside}, folder(), true);
  EXPECT_EQ(Accept(*other, bundle), 5204);
  EXPECT_EQ(other->GetErrorMsg().View(), u"找不到關聯的私密金鑰(5204)");
  EXPECT_EQ(other->GetCapiErrorCode(), 0);
  EXPECT_TRUE(Contents(platform::kStoreMy).empty());
  // The authorities were installed before the failure and stay.
  EXPECT_EQ(Contents(platform::kStoreRoot).size(), 1u);
  EXPECT_EQ(Contents(platform::kStoreCa).size(), 1u);

  // A "Microsoft" provider of another type.
  std::unique_ptr<platform::KeyContext> aes;
  ASSERT_EQ(platform::AcquireKeyContext("aes-container", platform::kMsEnhRsaAesProv,
                                        platform::kProvRsaAes, platform::kCryptNewKeyset, &aes),
            0u);
  ASSERT_EQ(aes->GenerateKey(1, 512u << 16), 0u);
  std::vector<uint8_t> spki;
  ASSERT_EQ(aes->ExportPublicKeyInfo(1, &spki), 0u);
  EXPECT_EQ(Accept(*other, test::ToBase64(authority_->IssueForKey(spki, "AES"))), 5204);

  // A key that no container holds.
  EXPECT_EQ(Accept(*other, test::ToBase64(
                               authority_->IssueForKey(test::ForeignPublicKeyInfo(), "Foreign"))),
            5204);
  EXPECT_EQ(other->GetCapiErrorCode(), 0);
  EXPECT_TRUE(Contents(platform::kStoreMy).empty());
}

TEST_F(AcceptanceTest, TextsThatAreNoAnswerGiveTheirCodes) {
  auto engine = Engine();
  EXPECT_EQ(engine->AcceptPKCS7(Bstr()), 5005);
  EXPECT_EQ(engine->AcceptPKCS7(Bstr::FromWide(u"")), 5005);
  EXPECT_EQ(engine->GetCapiErrorCode(), 0);

  // Base64 that cannot be decoded: an armour line that is never closed, nothing but dashes.
  EXPECT_EQ(Accept(*engine, "-----BEGIN PKCS7-----\r\nMIIB"), 5008);
  EXPECT_EQ(Accept(*engine, "-----"), 5008);
  EXPECT_EQ(engine->GetErrorMsg().View(), u"Base64 編碼錯誤(5008)");
  EXPECT_EQ(engine->GetCapiErrorCode(), 0);

  // Text that decodes to nothing holds no certificate.
  EXPECT_EQ(Accept(*engine, " \r\n "), 5060);

  // Text that decodes to bytes that are neither a message nor a certificate.
  for (const char* text : {"this is not base64 at all!", "AAAA", "~~~~", "MIIB"}) {
    EXPECT_EQ(Accept(*engine, text), 5040) << text;
    EXPECT_NE(engine->GetCapiErrorCode(), 0) << text;
  }

  // A PKCS#7 data message has no certificate list.
  const Der data = {0x30, 0x0f, 0x06, 0x09, 0x2a, 0x86, 0x48, 0x86, 0xf7,
                    0x0d, 0x01, 0x07, 0x01, 0xa0, 0x02, 0x04, 0x00};
  EXPECT_EQ(Accept(*engine, test::ToBase64(data)), 5040);
  EXPECT_EQ(static_cast<uint32_t>(engine->GetCapiErrorCode()), platform::kCryptEInvalidMsgType);
  EXPECT_TRUE(Contents(platform::kStoreMy).empty());
}

TEST_F(AcceptanceTest, TruncatedAnswersNeverInstallTheUser) {
  auto engine = Engine();
  const Der issued = Enroll(*engine, u"Truncated");
  const std::string bundle =
      test::Pkcs7Bundle({authority_->root(), authority_->intermediate(), issued}, folder(), false);
  const Der whole(bundle.begin(), bundle.end());
  for (size_t length = 1; length < whole.size(); length += 7) {
    const Der cut(whole.begin(), whole.begin() + static_cast<long>(length));
    const int32_t code = Accept(*engine, test::ToBase64(cut));
    EXPECT_TRUE(code == 5040 || code == 5008) << length << " gave " << code;
  }
  for (size_t length = 1; length < issued.size(); length += 5) {
    const Der cut(issued.begin(), issued.begin() + static_cast<long>(length));
    EXPECT_EQ(Accept(*engine, test::ToBase64(cut)), 5040) << length;
  }
  EXPECT_TRUE(Contents(platform::kStoreMy).empty());
  // The whole answer still installs afterwards.
  EXPECT_EQ(Accept(*engine, test::ToBase64(whole)), 0);
}

// ---- Failures of the platform, made on purpose ----

class FaultyStores : public enroll::EnrollmentPort {
 public:
  std::string failOpen;  // a store that cannot be opened
  std::string failAdd;   // a store that refuses additions
  platform::SysError linkError = 0;
  bool deleteFoundContainer = false;  // the container disappears right after the search

  platform::SysError OpenSystemStore(std::string_view name, CertStore* store) override {
    if (name == failOpen) return platform::kErrorAccessDenied;
    return EnrollmentPort::OpenSystemStore(name, store);
  }
  platform::SysError AddToStore(const CertStore& store, const CertContext& cert,
                                uint32_t disposition) override {
    if (store.name() == failAdd) return platform::kErrorDiskFull;
    return EnrollmentPort::AddToStore(store, cert, disposition);
  }
  platform::SysError SetKeyLink(CertContext* cert, const KeyProvInfo& link) override {
    if (linkError) return linkError;
    return EnrollmentPort::SetKeyLink(cert, link);
  }
  platform::SysError FindKeyByPublicKey(
      platform::ByteView spki, const std::function<bool(const platform::ProviderInfo&)>& accept,
      KeyProvInfo* link) override {
    const platform::SysError err = EnrollmentPort::FindKeyByPublicKey(spki, accept, link);
    if (err == 0 && deleteFoundContainer) {
      std::unique_ptr<platform::KeyContext> none;
      platform::AcquireKeyContext(link->containerName, link->providerName, 1,
                                  platform::kCryptDeleteKeyset, &none);
    }
    return err;
  }
};

class AcceptanceFailureTest : public AcceptanceTest {
 protected:
  void SetUp() override {
    AcceptanceTest::SetUp();
    ASSERT_EQ(settings_.SetProviderName(platform::kMsEnhancedProv), 0);
    ASSERT_EQ(settings_.SetKeyBits(512), 0);
    const std::string request = enroll::CreatePkcs10Request(settings_, "Failing");
    ASSERT_EQ(settings_.result(), 0);
    issued_ = authority_->Issue(test::FromBase64(request));
    answer_ = test::Pkcs7Bundle({authority_->root(), authority_->intermediate(), issued_}, folder(),
                                true);
  }
  int32_t Accept(FaultyStores& port) {
    const int32_t code = enroll::AcceptPkcs7Response(settings_, answer_, port);
    EXPECT_EQ(code, settings_.result());
    return code;
  }

  CspSettings settings_;
  Der issued_;
  std::string answer_;
};

TEST_F(AcceptanceFailureTest, PersonalStoreThatCannotBeOpenedGives5201) {
  FaultyStores port;
  port.failOpen = "MY";
  EXPECT_EQ(Accept(port), 5201);
  EXPECT_EQ(settings_.systemError(), platform::kErrorAccessDenied);
  EXPECT_EQ(Contents(platform::kStoreRoot).size(), 1u);
}

TEST_F(AcceptanceFailureTest, RefusedAdditionOrKeyLinkGives5206) {
  FaultyStores add;
  add.failAdd = "MY";
  EXPECT_EQ(Accept(add), 5206);
  EXPECT_EQ(settings_.systemError(), platform::kErrorDiskFull);
  FaultyStores link;
  link.linkError = platform::kEOutOfMemory;
  EXPECT_EQ(Accept(link), 5206);
  EXPECT_EQ(settings_.systemError(), platform::kEOutOfMemory);
  EXPECT_TRUE(Contents(platform::kStoreMy).empty());
}

TEST_F(AcceptanceFailureTest, ContainerGoneAfterTheSearchGives5203) {
  FaultyStores port;
  port.deleteFoundContainer = true;
  EXPECT_EQ(Accept(port), 5203);
  EXPECT_EQ(settings_.systemError(), platform::kNteBadKeyset);
  EXPECT_TRUE(Contents(platform::kStoreMy).empty());
}

TEST_F(AcceptanceFailureTest, AuthorityStoresThatFailAreNotReported) {
  FaultyStores port;
  port.failOpen = "ROOT";
  port.failAdd = "CA";
  EXPECT_EQ(Accept(port), 0);
  EXPECT_TRUE(Contents(platform::kStoreRoot).empty());
  EXPECT_TRUE(Contents(platform::kStoreCa).empty());
  EXPECT_TRUE(Holds(Contents(platform::kStoreMy), issued_));
}

TEST_F(AcceptanceFailureTest, EngineCopiesTheOutcomeAndTheNextSetterClearsIt) {
  SecurityEngine engine;
  EXPECT_EQ(engine.AcceptPKCS7(Bstr::FromWide(u"MIIB")), 5040);
  EXPECT_NE(engine.GetCapiErrorCode(), 0);
  EXPECT_EQ(engine.SetKeySpec(1), 0);
  EXPECT_EQ(engine.GetCapiErrorCode(), 0);
}

}  // namespace
}  // namespace zyq
