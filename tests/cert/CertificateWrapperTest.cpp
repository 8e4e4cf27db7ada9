// The certificate wrapper: text forms of names, serial numbers, thumbprints and dates, the
// key-usage byte, and what bytes that are not a certificate give.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "cert/CertificateWrapper.h"
#include "platform/Time.h"
#include "tests/cert/CertTestSupport.h"
#include "tests/support/IndependentReference.h"

namespace zyq {
namespace {

using test::Bytes;
using test::CertSpec;

std::string SerialText(const Bytes& der) {
  const CertificateWrapper cert(der.data(), static_cast<int>(der.size()));
  return cert.GetSerial();
}

// Replaces the first occurrence of `from` in the DER bytes with `to` (same length).
Bytes Patch(Bytes der, const Bytes& from, const Bytes& to) {
  auto it = std::search(der.begin(), der.end(), from.begin(), from.end());
  EXPECT_NE(it, der.end());
  if (it != der.end()) std::copy(to.begin(), to.end(), it);
  return der;
}

void ExpectAllTextsEmpty(const CertificateWrapper& cert) {
  EXPECT_FALSE(cert.valid());
  EXPECT_EQ(cert.GetKeyUsage(), 0u);
  EXPECT_EQ(cert.GetSubject(), "");
  EXPECT_EQ(cert.GetIssuer(), "");
  EXPECT_EQ(cert.GetSubjectCN(), "");
  EXPECT_EQ(cert.GetIssuerCN(), "");
  EXPECT_EQ(cert.GetSerial(), "");
  EXPECT_EQ(cert.GetThumbprint(), "");
  EXPECT_EQ(cert.GetNotBefore(), "");
  EXPECT_EQ(cert.GetNotAfter(), "");
  EXPECT_EQ(cert.GetNotBeforeDate(), "");
  EXPECT_EQ(cert.GetNotAfterDate(), "");
}

TEST(CertificateWrapperTest, NamesAndCommonNames) {
  CertSpec spec;
  spec.Subject({{test::kOidCountry, test::kPrintable, "TW"},
                {test::kOidOrganization, test::kPrintable, "Bank, Inc."},
                {test::kOidCn, test::kUtf8, "\xE7\x8E\x8B Wang"}})  // U+738B, Big5 A4 FD
      .Issuer(
          {{test::kOidCountry, test::kPrintable, "TW"}, {test::kOidCn, test::kPrintable, "Root"}});
  const Bytes der = test::Make(spec);
  const CertificateWrapper cert(der.data(), static_cast<int>(der.size()));
  ASSERT_TRUE(cert.valid());
  EXPECT_EQ(cert.GetSubject(), "C=TW, O=Bank, Inc., CN=\xA4\xFD Wang");
  EXPECT_EQ(cert.GetSubjectCN(), "\xA4\xFD Wang");
  EXPECT_EQ(cert.GetIssuer(), "C=TW, CN=Root");
  EXPECT_EQ(cert.GetIssuerCN(), "Root");
  EXPECT_EQ(cert.lastError(), 0u);
  EXPECT_EQ(std::vector<uint8_t>(cert.encoded().span().begin(), cert.encoded().span().end()), der);
}

TEST(CertificateWrapperTest, CommonNameIsEmptyWithoutOneAndLongNamesStayWhole) {
  CertSpec spec;
  spec.Subject({{test::kOidOrganization, test::kPrintable, "No Common Name"}});
  Bytes der = test::Make(spec);
  CertificateWrapper noCn(der.data(), static_cast<int>(der.size()));
  ASSERT_TRUE(noCn.valid());
  EXPECT_EQ(noCn.GetSubjectCN(), "");
  EXPECT_EQ(noCn.GetSubject(), "O=No Common Name");

  // A subject longer than 511 bytes and a common name longer than 99 are given whole.
  const std::string longOu(300, 'u');
  const std::string longCn(250, 'c');
  spec.Subject(
      {{test::kOidOrgUnit, test::kPrintable, longOu}, {test::kOidCn, test::kPrintable, longCn}});
  der = test::Make(spec);
  const CertificateWrapper longName(der.data(), static_cast<int>(der.size()));
  EXPECT_EQ(longName.GetSubject(), "OU=" + longOu + ", CN=" + longCn);
  EXPECT_EQ(longName.GetSubjectCN(), longCn);
}

TEST(CertificateWrapperTest, SerialNumbersMostSignificantFirstWithLeadingZeros) {
  EXPECT_EQ(SerialText(test::Make(test::WithCn("a").Serial({0x0A}))), "0A");
  // A serial whose top bit is set is encoded with a leading zero byte, which stays.
  EXPECT_EQ(SerialText(test::Make(test::WithCn("b").Serial({0x80, 0x01}))), "008001");
  EXPECT_EQ(SerialText(test::Make(test::WithCn("c").Serial({0x12, 0x34, 0x56}))), "123456");
  // The bytes 01 00 in least-significant-first order (an INTEGER encoded 00 01) read 0001.
  const Bytes der = Patch(test::Make(test::WithCn("d").Serial({0x5A, 0xC3})),
                          {0x02, 0x02, 0x5A, 0xC3}, {0x02, 0x02, 0x00, 0x01});
  EXPECT_EQ(SerialText(der), "0001");
  // Every byte of a long serial is printed.
  Bytes twenty(20, 0x11);
  EXPECT_EQ(SerialText(test::Make(test::WithCn("e").Serial(twenty))), std::string(40, '1'));
}

TEST(CertificateWrapperTest, ThumbprintIsTheUpperCaseSha1OfTheEncoding) {
  const Bytes der = test::Make(test::WithCn("thumb"));
  const CertificateWrapper cert(der.data(), static_cast<int>(der.size()));
  EXPECT_EQ(cert.GetThumbprint(), test::Hex(test::Sha1Reference(der)));
  EXPECT_EQ(cert.GetThumbprint().size(), 40u);
}

TEST(CertificateWrapperTest, ValidityInLocalTime) {
  // 2010-01-02 03:04:05 UTC to 2010-01-01 20:30:00 UTC of the next year (a day later at UTC+8).
  const Bytes der = test::Make(test::WithCn("dates").Validity(1262401445, 1293913800));
  const CertificateWrapper cert(der.data(), static_cast<int>(der.size()));
  {
    test::ScopedTimeZone zone("Asia/Taipei");
    EXPECT_EQ(cert.GetNotBefore(), "20100102110405");
    EXPECT_EQ(cert.GetNotBeforeDate(), "2010/01/02");
    EXPECT_EQ(cert.GetNotAfter(), "20110102043000");
    EXPECT_EQ(cert.GetNotAfterDate(), "2011/01/02");
  }
  {
    test::ScopedTimeZone zone("UTC");
    EXPECT_EQ(cert.GetNotBefore(), "20100102030405");
    EXPECT_EQ(cert.GetNotAfterDate(), "2011/01/01");
  }
  {
    // West of Greenwich the date of the early morning falls on the day before.
    test::ScopedTimeZone zone("America/Los_Angeles");
    EXPECT_EQ(cert.GetNotBefore(), "20100101190405");
    EXPECT_EQ(cert.GetNotBeforeDate(), "2010/01/01");
  }
}

TEST(LocalTimeTest, RangeOfFileTimes) {
  test::ScopedTimeZone zone("UTC");
  platform::LocalDateTime local;
  ASSERT_TRUE(platform::LocalTimeFromFileTime(0, &local));
  EXPECT_EQ(std::vector<int>(
                {local.year, local.month, local.day, local.hour, local.minute, local.second}),
            std::vector<int>({1601, 1, 1, 0, 0, 0}));
  // The fraction of a second is dropped.
  ASSERT_TRUE(
      platform::LocalTimeFromFileTime(platform::FileTimeFromUnixSeconds(1) + 9999999, &local));
  EXPECT_EQ(local.second, 1);
  local.year = -1;
  EXPECT_FALSE(platform::LocalTimeFromFileTime(0x8000000000000000ull, &local));
  EXPECT_EQ(local.year, -1);
  EXPECT_FALSE(platform::LocalTimeFromFileTime(0, nullptr));
}

TEST(CertificateWrapperTest, KeyUsageIsTheFirstByteOrZero) {
  const Bytes signing =
      test::Make(test::WithCn("s").KeyUsage("critical,digitalSignature,nonRepudiation"));
  const Bytes encryption =
      test::Make(test::WithCn("e").KeyUsage("keyEncipherment,dataEncipherment"));
  const Bytes none = test::Make(test::WithCn("n"));
  // decipherOnly lives in the second byte; the first byte is still read.
  const Bytes twoBytes = test::Make(test::WithCn("t").KeyUsage("keyAgreement,decipherOnly"));
  EXPECT_EQ(CertificateWrapper(signing.data(), static_cast<int>(signing.size())).GetKeyUsage(),
            0xC0u);
  EXPECT_EQ(
      CertificateWrapper(encryption.data(), static_cast<int>(encryption.size())).GetKeyUsage(),
      0x30u);
  EXPECT_EQ(CertificateWrapper(none.data(), static_cast<int>(none.size())).GetKeyUsage(), 0u);
  EXPECT_EQ(CertificateWrapper(twoBytes.data(), static_cast<int>(twoBytes.size())).GetKeyUsage(),
            0x08u);
}

TEST(CertificateWrapperTest, BytesThatAreNotOneCertificateGiveEmptyTexts) {
  ExpectAllTextsEmpty(CertificateWrapper(nullptr, 10));
  const Bytes der = test::Make(test::WithCn("x"));
  ExpectAllTextsEmpty(CertificateWrapper(der.data(), 0));
  ExpectAllTextsEmpty(CertificateWrapper(der.data(), -1));
  // Cut short at every length, and with a byte after the end.
  for (size_t n = 1; n < der.size(); n += 7) {
    const CertificateWrapper cut(der.data(), static_cast<int>(n));
    ExpectAllTextsEmpty(cut);
    EXPECT_NE(cut.lastError(), 0u);
    EXPECT_TRUE(cut.encoded().empty());
  }
  Bytes longer = der;
  longer.push_back(0);
  ExpectAllTextsEmpty(CertificateWrapper(longer.data(), static_cast<int>(longer.size())));
  // Random bytes, some of them starting like a SEQUENCE.
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    Bytes junk(1 + random() % 600);
    for (auto& b : junk) b = static_cast<uint8_t>(random());
    if (round % 2 == 0) junk[0] = 0x30;
    ExpectAllTextsEmpty(CertificateWrapper(junk.data(), static_cast<int>(junk.size())));
  }
}

TEST(CertificateWrapperTest, ReloadingAndContexts) {
  const Bytes first = test::Make(test::WithCn("first").KeyUsage("digitalSignature"));
  const Bytes second = test::Make(test::WithCn("second"));
  CertificateWrapper cert(first.data(), static_cast<int>(first.size()));
  EXPECT_EQ(cert.GetKeyUsage(), 0x80u);
  // A failed reload leaves nothing of the earlier certificate behind.
  EXPECT_FALSE(cert.LoadEncoded(second.data(), 5));
  ExpectAllTextsEmpty(cert);
  EXPECT_TRUE(cert.LoadEncoded(second.data(), static_cast<int>(second.size())));
  EXPECT_EQ(cert.GetSubjectCN(), "second");

  // A wrapper made from a context shares it; the caller's context outlives the wrapper.
  const platform::CertContext context = test::Context(first);
  {
    const CertificateWrapper attached(context);
    ASSERT_TRUE(attached.valid());
    EXPECT_EQ(attached.GetSubjectCN(), "first");
    EXPECT_EQ(attached.GetKeyUsage(), 0x80u);
    EXPECT_EQ(attached.encoded().size(), first.size());
  }
  ASSERT_FALSE(context.empty());
  EXPECT_EQ(context.encoded(), first);
  ExpectAllTextsEmpty(CertificateWrapper(platform::CertContext()));
}

TEST(CertificateWrapperTest, LeadingElementLength) {
  const Bytes a = test::Make(test::WithCn("a"));
  const Bytes b = test::Make(test::WithCn("bb"));
  Bytes both = a;
  both.insert(both.end(), b.begin(), b.end());
  EXPECT_EQ(CertificateWrapper::LeadingElementLength(both), static_cast<int>(a.size()));
  EXPECT_EQ(CertificateWrapper::LeadingElementLength(a), static_cast<int>(a.size()));
  EXPECT_EQ(CertificateWrapper::LeadingElementLength(Bytes(a.begin(), a.end() - 1)), 0);
  EXPECT_EQ(CertificateWrapper::LeadingElementLength(Bytes{0x30, 0x80, 0x00, 0x00}), 0);
  EXPECT_EQ(CertificateWrapper::LeadingElementLength(Bytes{0x30, 0x85, 1, 2, 3, 4, 5}), 0);
  EXPECT_EQ(CertificateWrapper::LeadingElementLength(Bytes{0x04, 0x01, 0xAA, 0xBB}), 3);
  EXPECT_EQ(CertificateWrapper::LeadingElementLength(Bytes{0x1F, 0x81}), 0);
  EXPECT_EQ(CertificateWrapper::LeadingElementLength(Bytes{}), 0);
}

}  // namespace
}  // namespace zyq
