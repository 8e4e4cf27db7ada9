// The returned certificate and the engine's accessors of it.
#include <gtest/gtest.h>

#include "engine/ReturnedCertificate.h"
#include "engine/SecurityEngine.h"
#include "tests/cert/CertTestSupport.h"
#include "tests/support/IndependentReference.h"

namespace zyq {

namespace {

using test::Bytes;

std::u16string Base64(const Bytes& bytes) {
  const std::string text = test::Base64Reference(bytes);
  return std::u16string(text.begin(), text.end());
}

struct Texts {
  std::u16string subject, cn, issuer, serial, finger, notBefore, notAfter;
};

using F = ReturnedCertificate::Field;

Texts ReadAll(const ReturnedCertificate& returned) {
  const auto read = [&](F field) {
    return std::u16string(Bstr::FromAnsi(returned.Read(field)).View());
  };
  Texts t;
  t.subject = read(F::kSubject);
  t.cn = read(F::kSubjectCN);
  t.issuer = read(F::kIssuer);
  t.serial = read(F::kSerial);
  t.finger = read(F::kThumbprint);
  t.notBefore = read(F::kNotBefore);
  t.notAfter = read(F::kNotAfter);
  return t;
}

Texts ReadAll(SecurityEngine& engine) {
  Texts t;
  t.subject = engine.GetCertSubject().View();
  t.cn = engine.GetCertSubjectCN().View();
  t.issuer = engine.GetCertIssuer().View();
  t.serial = engine.GetCertSerial().View();
  t.finger = engine.GetCertFinger().View();
  t.notBefore = engine.GetCertNotBefore().View();
  t.notAfter = engine.GetCertNotAfter().View();
  return t;
}

void ExpectEmpty(const Texts& t) {
  EXPECT_EQ(t.subject, u"");
  EXPECT_EQ(t.cn, u"");
  EXPECT_EQ(t.issuer, u"");
  EXPECT_EQ(t.serial, u"");
  EXPECT_EQ(t.finger, u"");
  EXPECT_EQ(t.notBefore, u"");
  EXPECT_EQ(t.notAfter, u"");
}

TEST(ReturnedCertificateTest, NewEngineHasNone) {
  SecurityEngine engine;
  const Bstr whole = engine.GetRtnCert();
  EXPECT_FALSE(whole.IsNull());
  EXPECT_EQ(whole.View(), u"");
  ExpectEmpty(ReadAll(engine));
  EXPECT_EQ(engine.GetErrorCode(), 0);
}

TEST(ReturnedCertificateTest, FieldsOfTheReturnedCertificate) {
  test::ScopedTimeZone zone("Asia/Taipei");
  test::CertSpec spec;
  spec.Subject({{test::kOidCountry, test::kPrintable, "TW"},
                {test::kOidCn, test::kUtf8, "\xE7\x8E\x8B"}})  // Big5 A4 FD, U+738B
      .Issuer({{test::kOidCn, test::kPrintable, "Broker CA"}})
      .Serial({0x00, 0x9F, 0x01})
      .Validity(1262401445, 4102444800);
  const Bytes der = test::Make(spec);
  ReturnedCertificate returned;
  returned.Replace(der);
  EXPECT_EQ(Bstr::FromAnsi(returned.Base64()).View(), Base64(der));
  EXPECT_EQ(Bstr::FromAnsi(returned.Read(F::kSubject)).View(), u"C=TW, CN=\u738B");

  const Texts t = ReadAll(returned);
  EXPECT_EQ(t.cn, u"\u738B");
  EXPECT_EQ(t.issuer, u"CN=Broker CA");
  EXPECT_EQ(t.serial, u"009F01");
  EXPECT_EQ(t.finger.size(), 40u);
  EXPECT_EQ(t.notBefore, u"20100102110405");
  EXPECT_EQ(t.notAfter, u"21000101080000");

  returned.Replace({});
  EXPECT_EQ(returned.Base64(), "");
  ExpectEmpty(ReadAll(returned));
}

TEST(ReturnedCertificateTest, AccessorsResetTheResultCodeButGetRtnCert) {
  SecurityEngine engine;
  engine.Hash(Bstr::FromAnsi(""), 0);
  ASSERT_EQ(engine.GetErrorCode(), 5005);
  engine.GetRtnCert();
  EXPECT_EQ(engine.GetErrorCode(), 5005);  // GetRtnCert reports nothing
  for (Bstr (SecurityEngine::*accessor)() :
       {&SecurityEngine::GetCertSubject, &SecurityEngine::GetCertSubjectCN,
        &SecurityEngine::GetCertIssuer, &SecurityEngine::GetCertSerial,
        &SecurityEngine::GetCertFinger, &SecurityEngine::GetCertNotBefore,
        &SecurityEngine::GetCertNotAfter}) {
    engine.Hash(Bstr::FromAnsi(""), 0);
    (engine.*accessor)();
    EXPECT_EQ(engine.GetErrorCode(), 0);
  }
}

TEST(ReturnedCertificateTest, BytesThatAreNotACertificate) {
  ReturnedCertificate returned;
  const Bytes junk = {0x30, 0x82, 0x01, 0x00, 0xDE, 0xAD, 0xBE, 0xEF};
  returned.Replace(junk);
  EXPECT_EQ(Bstr::FromAnsi(returned.Base64()).View(), Base64(junk));
  ExpectEmpty(ReadAll(returned));
}

TEST(ReturnedCertificateTest, SeveralCertificatesReadAsTheFirst) {
  const Bytes first = test::Make(test::WithCn("first").Serial({0x01}));
  const Bytes second = test::Make(test::WithCn("second").Serial({0x02}));
  Bytes both = first;
  both.insert(both.end(), second.begin(), second.end());
  ReturnedCertificate returned;
  returned.Replace(both);
  EXPECT_EQ(Bstr::FromAnsi(returned.Base64()).View(), Base64(both));
  EXPECT_EQ(returned.Read(F::kSubjectCN), "first");
  EXPECT_EQ(returned.Read(F::kSerial), "01");
}

}  // namespace
}  // namespace zyq
