// The engine's returned-certificate accessors.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "engine/SecurityEngine.h"
#include "tests/cert/CertTestSupport.h"

namespace zyq {

// Reaches the engine's fields that only certificate operations write.
class SecurityEngineTestPeer {
 public:
  static void SetReturned(SecurityEngine& engine, const test::Bytes& bytes) {
    engine.returnedCertificate_.Release();
    if (!bytes.empty()) {
      ASSERT_TRUE(engine.returnedCertificate_.Append(bytes.data(), static_cast<int>(bytes.size())));
    }
  }
  static void SetResult(SecurityEngine& engine, int32_t code, uint32_t capi) {
    engine.resultCode_ = code;
    engine.capiError_ = capi;
  }
};

namespace {

using test::Bytes;

std::u16string Base64(const Bytes& bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                static_cast<int>(bytes.size()));
  text.resize(static_cast<size_t>(n));
  return std::u16string(text.begin(), text.end());
}

struct Texts {
  std::u16string subject, cn, issuer, serial, finger, notBefore, notAfter;
};

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
  SecurityEngine engine;
  SecurityEngineTestPeer::SetReturned(engine, der);

  SecurityEngineTestPeer::SetResult(engine, 5010, 5);
  EXPECT_EQ(engine.GetRtnCert().View(), Base64(der));
  EXPECT_EQ(engine.GetErrorCode(), 5010);  // GetRtnCert reports nothing
  EXPECT_EQ(engine.GetCertSubject().View(), u"C=TW, CN=\u738B");
  EXPECT_EQ(engine.GetErrorCode(), 0);
  EXPECT_EQ(engine.GetCapiErrorCode(), 5);  // the system error is not the accessors' business

  const Texts t = ReadAll(engine);
  EXPECT_EQ(t.cn, u"\u738B");
  EXPECT_EQ(t.issuer, u"CN=Broker CA");
  EXPECT_EQ(t.serial, u"009F01");
  EXPECT_EQ(t.finger.size(), 40u);
  EXPECT_EQ(t.notBefore, u"20100102110405");
  EXPECT_EQ(t.notAfter, u"21000101080000");

  // Each accessor sets the result code to 0.
  SecurityEngineTestPeer::SetResult(engine, 5208, 0);
  engine.GetCertNotAfter();
  EXPECT_EQ(engine.GetErrorCode(), 0);
}

TEST(ReturnedCertificateTest, BytesThatAreNotACertificate) {
  SecurityEngine engine;
  const Bytes junk = {0x30, 0x82, 0x01, 0x00, 0xDE, 0xAD, 0xBE, 0xEF};
  SecurityEngineTestPeer::SetReturned(engine, junk);
  SecurityEngineTestPeer::SetResult(engine, 5001, 0);
  EXPECT_EQ(engine.GetRtnCert().View(), Base64(junk));
  ExpectEmpty(ReadAll(engine));
  EXPECT_EQ(engine.GetErrorCode(), 0);
}

TEST(ReturnedCertificateTest, SeveralCertificatesReadAsTheFirst) {
  const Bytes first = test::Make(test::WithCn("first").Serial({0x01}));
  const Bytes second = test::Make(test::WithCn("second").Serial({0x02}));
  Bytes both = first;
  both.insert(both.end(), second.begin(), second.end());
  SecurityEngine engine;
  SecurityEngineTestPeer::SetReturned(engine, both);
  EXPECT_EQ(engine.GetRtnCert().View(), Base64(both));
  EXPECT_EQ(engine.GetCertSubjectCN().View(), u"first");
  EXPECT_EQ(engine.GetCertSerial().View(), u"01");
}

}  // namespace
}  // namespace zyq
