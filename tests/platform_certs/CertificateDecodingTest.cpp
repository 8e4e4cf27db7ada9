// Decoding of certificates: fields checked against OpenSSL's own reading of the same
// certificate, and hostile input that must fail cleanly.
#include <gtest/gtest.h>

#include <random>

#include "platform/Certificates.h"
#include "tests/platform_certs/TestCertificates.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::platform {
namespace {

class CertificateDecoding : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { key_ = test::NewRsaKey(); }
  static void TearDownTestSuite() { key_.reset(); }

  Bytes Make(test::CertSpec spec) {
    if (spec.subject.empty()) spec.subject = {{"2.5.4.3", 0x13, "Decoding Test"}};
    return test::MakeCertificate(spec, key_, key_);
  }

  // Runs `openssl x509 <args>` on the certificate and returns its output.
  std::string OpenSsl(const Bytes& der, const std::string& args) {
    const std::string dir = test::NewWorkFolder();
    test::WriteFile(dir + "/c.der", test::ToString(der));
    std::string out;
    EXPECT_EQ(
        test::RunCommand("openssl x509 -inform DER -in " + dir + "/c.der -noout " + args, &out), 0)
        << out;
    return out;
  }

  static test::TestKey key_;
};
test::TestKey CertificateDecoding::key_;

TEST_F(CertificateDecoding, SerialNumberIsKeptLeastSignificantByteFirst) {
  DecodedCertificate cert;
  ASSERT_EQ(DecodeCertificate(Make(test::CertSpec().Serial({0x0a})), &cert), kErrorSuccess);
  EXPECT_EQ(cert.serialNumber, (Bytes{0x0a}));
  ASSERT_EQ(DecodeCertificate(Make(test::CertSpec().Serial({0x01, 0x00})), &cert), kErrorSuccess);
  EXPECT_EQ(cert.serialNumber, (Bytes{0x00, 0x01}));
  EXPECT_EQ(test::Hex(cert.SerialBigEndian()), "0100");
  // A serial with its top bit set keeps the 00 byte of its encoding, as its last byte.
  const Bytes der = Make(test::CertSpec().Serial({0x80, 0x01, 0xfe}));
  ASSERT_EQ(DecodeCertificate(der, &cert), kErrorSuccess);
  EXPECT_EQ(cert.serialNumber, (Bytes{0xfe, 0x01, 0x80, 0x00}));
  EXPECT_EQ(OpenSsl(der, "-serial"), "serial=8001FE\n");
  // A 20-byte serial.
  Bytes big(20, 0x5a);
  ASSERT_EQ(DecodeCertificate(Make(test::CertSpec().Serial(big)), &cert), kErrorSuccess);
  EXPECT_EQ(cert.SerialBigEndian(), big);
}

TEST_F(CertificateDecoding, ValidityIsAFileTime) {
  DecodedCertificate cert;
  // 2010-01-02 03:04:05 UTC (UTCTime) to 2100-01-01 (GeneralizedTime).
  ASSERT_EQ(DecodeCertificate(Make(test::CertSpec()), &cert), kErrorSuccess);
  EXPECT_EQ(cert.notBefore, 129068750450000000ull);
  EXPECT_EQ(cert.notAfter, 157469184000000000ull);
  EXPECT_EQ(UnixSecondsFromFileTime(cert.notBefore), 1262401445);
  // 1950 and 2049 at the edges of UTCTime.
  ASSERT_EQ(DecodeCertificate(Make(test::CertSpec().Validity(-631152000, 2524607999)), &cert),
            kErrorSuccess);
  EXPECT_EQ(UnixSecondsFromFileTime(cert.notBefore), -631152000);
  EXPECT_EQ(UnixSecondsFromFileTime(cert.notAfter), 2524607999);
  const FileTime now = CurrentFileTime();
  EXPECT_GT(now, FileTimeFromUnixSeconds(1700000000));
}

TEST_F(CertificateDecoding, NamesKeyUsageAndKeyMatchOpenSsl) {
  const Bytes der = Make(
      test::CertSpec()
          .Subject({{"2.5.4.6", 0x13, "TW"}, {"2.5.4.10", 0x0c, "ZYQ"}, {"2.5.4.3", 0x0c, "Alice"}})
          .Issuer({{"2.5.4.3", 0x13, "Issuing CA"}})
          .KeyUsage("critical,digitalSignature,keyEncipherment"));
  DecodedCertificate cert;
  ASSERT_EQ(DecodeCertificate(der, &cert), kErrorSuccess);
  EXPECT_EQ(cert.version, 2u);
  EXPECT_EQ(cert.encoded, der);
  std::string text;
  ASSERT_EQ(NameToX500Text(cert.subject, &text), kErrorSuccess);
  EXPECT_EQ(text, "C=TW, O=ZYQ, CN=Alice");
  ASSERT_EQ(NameToX500Text(cert.issuer, &text), kErrorSuccess);
  EXPECT_EQ(text, "CN=Issuing CA");
  EXPECT_EQ(KeyUsageByte(cert), 0xa0);
  EXPECT_EQ(cert.signatureAlgorithm, "1.2.840.113549.1.1.11");
  EXPECT_EQ(cert.publicKeyAlgorithm, kOidRsaEncryption);

  // Thumbprint and modulus as OpenSSL reports them.
  EXPECT_EQ(OpenSsl(der, "-fingerprint -sha1"), [&] {
    std::string hex = test::Hex(Bytes(cert.sha1Thumbprint.begin(), cert.sha1Thumbprint.end()));
    std::string colons;
    for (size_t i = 0; i < hex.size(); i += 2) {
      colons += (i ? ":" : "") + hex.substr(i, 2);
    }
    return "sha1 Fingerprint=" + colons + "\n";
  }());
  EXPECT_EQ(OpenSsl(der, "-modulus"), "Modulus=" + test::Hex(cert.rsaModulus) + "\n");
  EXPECT_EQ(test::Hex(cert.rsaPublicExponent), "010001");
  // The SubjectPublicKeyInfo is the one OpenSSL extracts.
  const std::string dir = test::NewWorkFolder();
  test::WriteFile(dir + "/c.der", test::ToString(der));
  ASSERT_EQ(test::RunCommand("openssl x509 -inform DER -in " + dir + "/c.der -noout -pubkey | " +
                             "openssl pkey -pubin -outform DER -out " + dir + "/spki.der"),
            0);
  EXPECT_EQ(test::ToBytes(test::ReadFile(dir + "/spki.der")), cert.subjectPublicKeyInfo);
}

TEST_F(CertificateDecoding, KeyUsageByteCases) {
  DecodedCertificate cert;
  ASSERT_EQ(DecodeCertificate(Make(test::CertSpec()), &cert), kErrorSuccess);
  Bytes usage{1, 2};
  SysError err = 1;
  EXPECT_FALSE(IntendedKeyUsage(cert, &usage, &err));
  EXPECT_TRUE(usage.empty());
  EXPECT_EQ(err, kErrorSuccess);
  EXPECT_EQ(KeyUsageByte(cert), 0);

  ASSERT_EQ(DecodeCertificate(Make(test::CertSpec().KeyUsage("keyCertSign,cRLSign")), &cert),
            kErrorSuccess);
  EXPECT_EQ(KeyUsageByte(cert), 0x06);
  // decipherOnly needs a second byte; the first byte is still the first.
  ASSERT_EQ(DecodeCertificate(
                Make(test::CertSpec().KeyUsage("nonRepudiation,keyAgreement,decipherOnly")), &cert),
            kErrorSuccess);
  ASSERT_TRUE(IntendedKeyUsage(cert, &usage));
  EXPECT_EQ(usage, (Bytes{0x48, 0x80}));
  EXPECT_EQ(KeyUsageByte(cert), 0x48);

  ASSERT_EQ(DecodeCertificate(Make(test::CertSpec().Ca()), &cert), kErrorSuccess);
  const BasicConstraints bc = GetBasicConstraints(cert);
  EXPECT_TRUE(bc.present);
  EXPECT_TRUE(bc.isCa);
}

TEST_F(CertificateDecoding, HostileInputFailsWithAnAsn1Error) {
  const Bytes good =
      Make(test::CertSpec().Subject({{"2.5.4.3", 0x0c, "中文"}}).KeyUsage("digitalSignature"));
  DecodedCertificate cert;
  ASSERT_EQ(DecodeCertificate(good, &cert), kErrorSuccess);

  EXPECT_EQ(DecodeCertificate(Bytes{}, &cert), kCryptEAsn1Eod);
  EXPECT_EQ(DecodeCertificate(test::ToBytes("-----BEGIN CERTIFICATE-----"), &cert),
            kCryptEAsn1Badtag);
  // Every truncation fails, and leaves nothing decoded behind.
  for (size_t n = 0; n < good.size(); ++n) {
    ASSERT_NE(DecodeCertificate(ByteView(good.data(), n), &cert), kErrorSuccess) << n;
    EXPECT_TRUE(cert.encoded.empty());
  }
  // Trailing bytes.
  Bytes trailing = good;
  trailing.push_back(0);
  EXPECT_EQ(DecodeCertificate(trailing, &cert), kCryptEAsn1Corrupt);
  // Lengths that claim more than there is, or more than any certificate may hold.
  EXPECT_EQ(DecodeCertificate(Bytes{0x30, 0x84, 0xff, 0xff, 0xff, 0xff}, &cert), kCryptEAsn1Large);
  EXPECT_EQ(DecodeCertificate(Bytes{0x30, 0x89, 1, 2, 3, 4, 5, 6, 7, 8, 9}, &cert),
            kCryptEAsn1Large);
  EXPECT_EQ(DecodeCertificate(Bytes{0x30, 0x82, 0x10, 0x00, 0x30}, &cert), kCryptEAsn1Eod);
  EXPECT_EQ(DecodeCertificate(Bytes{0x30, 0x80, 0x00, 0x00}, &cert), kCryptEAsn1Corrupt);
  // A huge input.
  Bytes huge(kMaxEncodedSize + 16, 0x41);
  huge[0] = 0x30;
  huge[1] = 0x84;
  EXPECT_EQ(DecodeCertificate(huge, &cert), kCryptEAsn1Large);
  // Random garbage and single-byte corruptions: any answer but a crash.
  std::mt19937 rng(12345);
  for (int i = 0; i < 2000; ++i) {
    Bytes junk(rng() % 300);
    for (auto& b : junk) b = static_cast<uint8_t>(rng());
    if (!junk.empty() && i % 2 == 0) junk[0] = 0x30;
    EXPECT_NE(DecodeCertificate(junk, &cert), kErrorSuccess);
  }
  for (size_t i = 0; i < good.size(); ++i) {
    Bytes bent = good;
    bent[i] ^= static_cast<uint8_t>(1u << (i % 8));
    if (DecodeCertificate(bent, &cert) == kErrorSuccess) {
      std::string text;
      (void)NameToX500Text(cert.subject, &text);
      (void)KeyUsageByte(cert);
    }
  }
}

}  // namespace
}  // namespace zyq::platform
