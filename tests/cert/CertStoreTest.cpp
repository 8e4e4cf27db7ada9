// The store owner and the certificate search: name filters, key usage, key links, providers,
// validity, the best-certificate rules and the code of the last rejected candidate.
#include <gtest/gtest.h>

#include "cert/CertStore.h"
#include "cert/CertificateWrapper.h"
#include "engine/ResultCodes.h"
#include "tests/cert/CertTestSupport.h"

namespace zyq {
namespace {

using platform::KeyProvInfo;
using test::Bytes;
using test::CertSpec;

constexpr int64_t kYear2000 = 946684800;
constexpr int64_t kYear2005 = 1104537600;
constexpr int64_t kYear2010 = 1262304000;
constexpr int64_t kYear2020 = 1577836800;
constexpr int64_t kYear2090 = 3786912000;
constexpr int64_t kYear2100 = 4102444800;

static_assert(result::kCertNotFound == result::kCertNotFound);
static_assert(result::kCertExpired == result::kCertExpired);
static_assert(result::kCertNotYetValid == result::kCertNotYetValid);
static_assert(result::kKeyUsageMismatch == result::kKeyUsageMismatch);
static_assert(result::kOpenPersonalStoreFailed == result::kOpenPersonalStoreFailed);
static_assert(result::kKeyNotExportable == result::kKeyNotExportable);
static_assert(result::kPersonalStoreDenied == result::kPersonalStoreDenied);
static_assert(result::kPkcs12FormatError == result::kPkcs12FormatError);
static_assert(result::kPkcs12WrongPassword == result::kPkcs12WrongPassword);
static_assert(result::kOpenMemoryStoreFailed == result::kOpenMemoryStoreFailed);
static_assert(result::kPfxReadFailed == result::kPfxReadFailed);
static_assert(result::kBadParameter == result::kBadParameter);

KeyProvInfo MicrosoftLink(const std::string& container) {
  return KeyProvInfo{container, "Microsoft Enhanced Cryptographic Provider v1.0", 1, 0, 1};
}

class FindCertificatesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(store_.OpenMemory(), 0); }

  // Adds a certificate; linked to a Microsoft key unless told otherwise.
  void Add(const CertSpec& spec, std::optional<KeyProvInfo> link = KeyProvInfo{}) {
    if (link && link->containerName.empty()) link = MicrosoftLink("c" + std::to_string(++count_));
    platform::CertContext added;
    ASSERT_EQ(store_.handle().AddEncoded(test::Make(spec), platform::kCertStoreAddAlways, &added),
              0u);
    if (link) {
      ASSERT_EQ(added.SetKeyLink(*link), 0u);
    }
  }

  // Runs the search; returns the common names found.
  std::vector<std::string> Find(std::string_view filter, int32_t flags = 0, int32_t usage = 0) {
    CertContexts out;
    code_ = store_.FindCertificates(&out, filter, flags, usage);
    std::vector<std::string> names;
    for (const platform::CertContext& c : out)
      names.push_back(CertificateWrapper(c).GetSubjectCN());
    return names;
  }

  using Names = std::vector<std::string>;
  CertStore store_;
  int32_t code_ = -1;
  int count_ = 0;
};

TEST_F(FindCertificatesTest, EmptyFilterKeepsEveryQualifyingCertificateInOrder) {
  Add(test::WithCn("one"));
  Add(test::WithCn("two"));
  Add(test::WithCn("unlinked"), std::nullopt);
  Add(test::WithCn("three"));
  EXPECT_EQ(Find(""), (Names{"one", "two", "three"}));
  EXPECT_EQ(code_, 0);
  EXPECT_EQ(store_.lastError(), 0u);
  // Modes 1 and 3 keep everything too.
  EXPECT_EQ(Find("", 1), (Names{"one", "two", "three"}));
  EXPECT_EQ(Find("", 3), (Names{"one", "two", "three"}));
}

TEST_F(FindCertificatesTest, NameFiltersExactAndContaining) {
  CertSpec full;
  full.Subject({{test::kOidCountry, test::kPrintable, "TW"},
                {test::kOidOrganization, test::kPrintable, "Bank, Inc."},
                {test::kOidCn, test::kPrintable, "Wang"}});
  Add(full);
  Add(test::WithCn("Mr Wang"));
  Add(test::WithCn("Wang"));
  Add(test::WithCn("Lee"));
  EXPECT_EQ(Find("CN=Wang"), (Names{"Wang"}));
  EXPECT_EQ(Find("C=TW, O=Bank, Inc., CN=Wang"), (Names{"Wang", "Wang"}));
  EXPECT_EQ(Find("CN=Wang", kFindContains), (Names{"Wang", "Mr Wang", "Wang"}));
  EXPECT_EQ(Find("O=Bank, CN=Wang", kFindContains), (Names{"Wang"}));
  // Nothing matching the name is simply "not found".
  EXPECT_EQ(Find("CN=Chen", kFindContains), Names{});
  EXPECT_EQ(code_, result::kCertNotFound);
  EXPECT_EQ(Find("CN=", kFindContains), Names{});
  EXPECT_EQ(Find("E=wang@example.com", kFindContains), Names{});
}

TEST_F(FindCertificatesTest, SerialNumberInTheFilter) {
  Add(test::WithCn("Wang").Serial({0x0A, 0x1B}));
  Add(test::WithCn("Wang").Serial({0x7F}));
  EXPECT_EQ(Find("CN=Wang, SN=0a1b", kFindContains).size(), 1u);
  EXPECT_EQ(Find("SN=7F", kFindContains).size(), 1u);
  EXPECT_EQ(Find("CN=Wang, SN=7f").size(), 1u);
  EXPECT_EQ(Find("CN=Wang, SN=FFFF").size(), 0u);
  EXPECT_EQ(Find("CN=Wang").size(), 2u);
}

TEST_F(FindCertificatesTest, SurnameInTheSubjectDoesNotBlockTheExactRule) {
  CertSpec spec;
  spec.Subject(
      {{test::kOidCn, test::kPrintable, "Wang Da"}, {test::kOidSurname, test::kPrintable, "Wang"}});
  Add(spec);
  EXPECT_EQ(Find("CN=Wang Da"), (Names{"Wang Da"}));
  EXPECT_EQ(Find("CN=Wang Da", kFindContains), (Names{"Wang Da"}));
  EXPECT_EQ(Find("CN=Wang Da, SN=01"), (Names{"Wang Da"}));
}

TEST_F(FindCertificatesTest, KeyUsageMask) {
  Add(test::WithCn("sign").KeyUsage("digitalSignature,nonRepudiation"));
  Add(test::WithCn("encrypt").KeyUsage("keyEncipherment"));
  Add(test::WithCn("none"));
  EXPECT_EQ(Find("", 0, 0x80), (Names{"sign"}));
  EXPECT_EQ(Find("", 0, 0xC0), (Names{"sign"}));
  EXPECT_EQ(Find("", 0, 0x20), (Names{"encrypt"}));
  EXPECT_EQ(Find("", 0, 0xA0), Names{});
  EXPECT_EQ(code_, result::kKeyUsageMismatch);
  // Zero and negative masks test nothing.
  EXPECT_EQ(Find("", 0, 0).size(), 3u);
  EXPECT_EQ(Find("", 0, -1).size(), 3u);
  // A certificate without the extension fails any positive mask.
  EXPECT_EQ(Find("CN=none", 0, 0x01), Names{});
  EXPECT_EQ(code_, result::kKeyUsageMismatch);
}

TEST_F(FindCertificatesTest, KeyLinkAndProvider) {
  Add(test::WithCn("unlinked"), std::nullopt);
  EXPECT_EQ(Find("CN=unlinked"), Names{});
  EXPECT_EQ(code_, result::kPersonalStoreDenied);
  EXPECT_EQ(store_.lastError(), platform::kCryptENotFound);

  Add(test::WithCn("other provider"), KeyProvInfo{"k", "Acme Smart Card CSP", 1, 0, 2});
  EXPECT_EQ(Find("CN=other provider"), Names{});
  EXPECT_EQ(code_, result::kKeyNotExportable);
  // The name must begin with "Microsoft", letter case included.
  Add(test::WithCn("lower"), KeyProvInfo{"k", "microsoft enhanced", 1, 0, 1});
  EXPECT_EQ(Find("CN=lower"), Names{});
  EXPECT_EQ(code_, result::kKeyNotExportable);
  Add(test::WithCn("strong"), KeyProvInfo{"k", "Microsoft Strong Cryptographic Provider", 1, 0, 2});
  EXPECT_EQ(Find("CN=strong"), (Names{"strong"}));
  EXPECT_EQ(code_, 0);
  EXPECT_EQ(store_.lastError(), 0u);
}

TEST_F(FindCertificatesTest, ValidityOnlyWhenAsked) {
  Add(test::WithCn("expired").Validity(kYear2000, kYear2005));
  Add(test::WithCn("future").Validity(kYear2090, kYear2100));
  EXPECT_EQ(Find("", 0), (Names{"expired", "future"}));
  EXPECT_EQ(Find("CN=expired", kFindCheckValidity), Names{});
  EXPECT_EQ(code_, result::kCertExpired);
  EXPECT_EQ(Find("CN=future", kFindCheckValidity), Names{});
  EXPECT_EQ(code_, result::kCertNotYetValid);
  Add(test::WithCn("current").Validity(kYear2010, kYear2090));
  EXPECT_EQ(Find("", kFindCheckValidity), (Names{"current"}));
  EXPECT_EQ(code_, 0);
}

TEST_F(FindCertificatesTest, TheLastRejectedCandidateGivesTheCode) {
  Add(test::WithCn("Wang").Validity(kYear2000, kYear2005));
  Add(test::WithCn("Wang"), KeyProvInfo{"k", "Other CSP", 1, 0, 1});
  Add(test::WithCn("Lee"), std::nullopt);  // not a candidate: the name does not match
  EXPECT_EQ(Find("CN=Wang", kFindCheckValidity), Names{});
  EXPECT_EQ(code_, result::kKeyNotExportable);
  // A later certificate that qualifies wins over earlier rejections.
  Add(test::WithCn("Wang"));
  EXPECT_EQ(Find("CN=Wang", kFindCheckValidity), (Names{"Wang"}));
  EXPECT_EQ(code_, 0);
  EXPECT_EQ(store_.lastError(), 0u);
  // A rejection after a kept certificate does not change the outcome.
  Add(test::WithCn("Wang"), std::nullopt);
  EXPECT_EQ(Find("CN=Wang", kFindCheckValidity | kFindKeepBest).size(), 1u);
  EXPECT_EQ(code_, 0);
}

TEST_F(FindCertificatesTest, BestRules) {
  Add(test::WithCn("A").Validity(kYear2010, kYear2090));
  Add(test::WithCn("B").Validity(kYear2020, kYear2100));
  Add(test::WithCn("C").Validity(kYear2005, kYear2100 - 86400));
  Add(test::WithCn("D").Validity(kYear2020, kYear2020 + 86400));
  // Default: latest NotBefore; B and D tie and the first enumerated wins.
  EXPECT_EQ(Find("", kFindKeepBest), (Names{"B"}));
  EXPECT_EQ(code_, 0);
  EXPECT_EQ(Find("", kFindKeepBest | kFindEarliestNotBefore), (Names{"C"}));
  EXPECT_EQ(Find("", kFindKeepBest | kFindLatestNotAfter), (Names{"B"}));
  EXPECT_EQ(Find("", kFindKeepBest | kFindEarliestNotAfter), (Names{"D"}));
  // When several rule bits are set, the first of 0x20, 0x40, 0x80 decides.
  EXPECT_EQ(Find("", kFindKeepBest | kFindEarliestNotAfter | kFindLatestNotAfter), (Names{"B"}));
  EXPECT_EQ(Find("", kFindKeepBest | kFindEarliestNotAfter | kFindEarliestNotBefore), (Names{"C"}));
  // The signing flags 0xA: best by NotBefore among containment matches.
  EXPECT_EQ(Find("CN=D", 0xA), (Names{"D"}));
}

TEST_F(FindCertificatesTest, KeepBestReplacesWhatTheArrayHeld) {
  Add(test::WithCn("only"));
  CertContexts out;
  out.push_back(test::Context(test::Make(test::WithCn("stale"))));
  EXPECT_EQ(store_.FindCertificates(&out, "", kFindKeepBest, 0), 0);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(CertificateWrapper(out[0]).GetSubjectCN(), "only");
  // The contexts found stay usable after the store is closed.
  store_.Close();
  EXPECT_EQ(CertificateWrapper(out[0]).GetSubjectCN(), "only");
}

TEST(CertStoreTest, NoStoreOrNoArray) {
  CertStore store;
  CertContexts out;
  EXPECT_EQ(store.FindCertificates(&out, "", 0, 0), result::kCertNotFound);
  ASSERT_EQ(store.OpenMemory(), 0);
  EXPECT_EQ(store.FindCertificates(nullptr, "", 0, 0), result::kCertNotFound);
  EXPECT_EQ(store.FindCertificates(&out, "", 0, 0), result::kCertNotFound);
  EXPECT_TRUE(out.empty());
}

TEST(CertStoreTest, PersonalStoreIsSharedBetweenOpenings) {
  const Bytes der = test::Make(test::WithCn("personal"));
  {
    CertStore store;
    ASSERT_EQ(store.OpenPersonal(), 0);
    EXPECT_EQ(store.handle().name(), "MY");
    platform::CertContext added;
    ASSERT_EQ(store.handle().AddEncoded(der, platform::kCertStoreAddAlways, &added), 0u);
    ASSERT_EQ(added.SetKeyLink(MicrosoftLink("personal-key")), 0u);
  }
  CertStore store;
  ASSERT_EQ(store.OpenPersonal(), 0);
  CertContexts out;
  EXPECT_EQ(store.FindCertificates(&out, "CN=personal", 0, 0), 0);
  ASSERT_EQ(out.size(), 1u);
  const std::optional<KeyProvInfo> link = store.GetKeyProvInfo(out[0]);
  ASSERT_TRUE(link.has_value());
  EXPECT_EQ(link->containerName, "personal-key");
  EXPECT_EQ(store.lastError(), 0u);
  // Opening another store closes this one first.
  ASSERT_EQ(store.OpenMemory(), 0);
  EXPECT_EQ(store.FindCertificates(&out, "CN=personal", 0, 0), result::kCertNotFound);
}

TEST(CertStoreTest, KeyProvInfo) {
  CertStore store;
  EXPECT_FALSE(store.GetKeyProvInfo(platform::CertContext()).has_value());
  EXPECT_EQ(store.lastError(), 0u);
  EXPECT_FALSE(store.GetKeyProvInfo(test::Context(test::Make(test::WithCn("x")))).has_value());
  EXPECT_EQ(store.lastError(), platform::kCryptENotFound);
}

}  // namespace
}  // namespace zyq
