// PKCS#10 requests and PKCS#7 messages: what we write verified by `openssl req` and
// `openssl cms`, what `openssl` writes decoded by us.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/CertRequests.h"
#include "platform/CryptMessages.h"
#include "platform/Text.h"
#include "tests/platform_certs/TestCertificates.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::platform {
namespace {

bool Contains(const Bytes& haystack, const Bytes& needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
         haystack.end();
}

Bytes FromHex(const std::string& hex) {
  Bytes out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

class Messages : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    key_ = test::NewRsaKey();
    caKey_ = test::NewRsaKey();
    test::CertSpec ca;
    ca.Subject({{"2.5.4.3", 0x13, "Message CA"}}).Serial({0x11}).Ca().KeyUsage("keyCertSign");
    caDer_ = new Bytes(test::MakeCertificate(ca, caKey_, caKey_));
    test::CertSpec leaf;
    leaf.Subject({{"2.5.4.3", 0x0c, "簽章者"}})
        .Issuer({{"2.5.4.3", 0x13, "Message CA"}})
        .Serial({0x80, 0x42})
        .KeyUsage("digitalSignature");
    leafDer_ = new Bytes(test::MakeCertificate(leaf, key_, caKey_));
  }
  static void TearDownTestSuite() {
    key_.reset();
    caKey_.reset();
    delete caDer_;
    delete leafDer_;
  }

  void SetUp() override {
    dir_ = test::NewWorkFolder();
    ASSERT_EQ(DecodeCertificate(*leafDer_, &leaf_), kErrorSuccess);
    test::WriteFile(dir_ + "/leaf.pem", test::CertPem(*leafDer_));
    test::WriteFile(dir_ + "/ca.pem", test::CertPem(*caDer_));
  }

  // `openssl cms -verify` of a DER message; returns the exit status, the content in *content.
  int CmsVerify(const Bytes& msg, const std::string& extra, std::string* content = nullptr) {
    test::WriteFile(dir_ + "/m.der", test::ToString(msg));
    std::string out;
    const int rc = test::RunCommand("openssl cms -verify -inform DER -noverify -in " + dir_ +
                                        "/m.der -out " + dir_ + "/out.bin " + extra,
                                    &out);
    if (content) *content = test::ReadFile(dir_ + "/out.bin");
    if (rc != 0) ADD_FAILURE() << out;
    return rc;
  }

  static test::TestKey key_;
  static test::TestKey caKey_;
  static Bytes* caDer_;
  static Bytes* leafDer_;
  DecodedCertificate leaf_;
  std::string dir_;
};
test::TestKey Messages::key_;
test::TestKey Messages::caKey_;
Bytes* Messages::caDer_ = nullptr;
Bytes* Messages::leafDer_ = nullptr;

TEST_F(Messages, RequestVerifiesWithOpenSsl) {
  Bytes name, request;
  ASSERT_EQ(EncodeCommonNameBmp(u"ABCDEFGHIJ", &name), kErrorSuccess);
  // One RDN, one commonName, a 20-byte BMPString.
  EXPECT_EQ(test::Hex(name),
            "301F311D301B06035504031E14" + test::Hex(test::ToBytes(test::Utf16Be(u"ABCDEFGHIJ"))));
  ASSERT_EQ(
      EncodeCertificateRequest(name, leaf_.subjectPublicKeyInfo, test::KeySigner(key_), &request),
      kErrorSuccess);
  // sha1WithRSAEncryption with NULL parameters, and an empty attribute set after the key.
  EXPECT_TRUE(Contains(request, FromHex("300d06092a864886f70d0101050500")));
  Bytes keyThenAttrs = leaf_.subjectPublicKeyInfo;
  keyThenAttrs.push_back(0xa0);
  keyThenAttrs.push_back(0x00);
  EXPECT_TRUE(Contains(request, keyThenAttrs));

  test::WriteFile(dir_ + "/req.der", test::ToString(request));
  std::string out;
  ASSERT_EQ(test::RunCommand("openssl req -inform DER -in " + dir_ +
                                 "/req.der -verify -noout -subject -nameopt RFC2253",
                             &out),
            0)
      << out;
  EXPECT_NE(out.find("verify OK"), std::string::npos) << out;
  EXPECT_NE(out.find("subject=CN=ABCDEFGHIJ"), std::string::npos) << out;

  // Three Chinese characters give a 6-byte value; the request still verifies.
  ASSERT_EQ(EncodeCommonNameBmp(AnsiToWide(Utf8ToAnsi("王小明")), &name), kErrorSuccess);
  EXPECT_EQ(test::Hex(Bytes(name.end() - 8, name.end())),
            "1E06" + test::Hex(test::ToBytes(test::Utf16Be(u"王小明"))));
  ASSERT_EQ(
      EncodeCertificateRequest(name, leaf_.subjectPublicKeyInfo, test::KeySigner(key_), &request),
      kErrorSuccess);
  test::WriteFile(dir_ + "/req.der", test::ToString(request));
  ASSERT_EQ(
      test::RunCommand("openssl req -inform DER -in " + dir_ + "/req.der -verify -noout", &out), 0)
      << out;
  // Inputs that are not a name or a key info, and a failing signer.
  EXPECT_EQ(EncodeCertificateRequest(Bytes{0x31, 0}, leaf_.subjectPublicKeyInfo,
                                     test::KeySigner(key_), &request),
            kCryptEAsn1Badtag);
  EXPECT_EQ(EncodeCertificateRequest(name, Bytes{0x30, 0x05}, test::KeySigner(key_), &request),
            kCryptEAsn1Eod);
  auto refusing = [](uint32_t, std::span<const uint8_t>, std::vector<uint8_t>*) {
    return kErrorCancelled;
  };
  EXPECT_EQ(EncodeCertificateRequest(name, leaf_.subjectPublicKeyInfo, refusing, &request),
            kErrorCancelled);
}

TEST_F(Messages, AttachedSignedDataWithSha1AndTheSignerCertificate) {
  const std::string text = "Transfer 100 TWD \xe4\xb8\xad";
  SignedDataRequest req;
  req.content = ByteView(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  req.signer = &leaf_;
  req.certificates = {*leafDer_};
  Bytes msg;
  ASSERT_EQ(EncodeSignedData(req, test::KeySigner(key_), &msg), kErrorSuccess);
  std::string content;
  ASSERT_EQ(CmsVerify(msg, "", &content), 0);
  EXPECT_EQ(content, text);
  // SHA-1 with NULL parameters, rsaEncryption as digestEncryptionAlgorithm, no attributes.
  EXPECT_TRUE(Contains(msg, FromHex("300906052b0e03021a0500")));
  EXPECT_TRUE(Contains(msg, FromHex("300d06092a864886f70d0101010500")));
  EXPECT_FALSE(Contains(msg, FromHex("06092a864886f70d010903")));
  // The signer is named by issuer and serial (0x8042 keeps its 00 byte).
  EXPECT_TRUE(Contains(msg, FromHex("0203008042")));

  DecodedMessage decoded;
  ASSERT_EQ(DecodeMessage(msg, &decoded), kErrorSuccess);
  EXPECT_EQ(decoded.type, kCmsgSigned);
  EXPECT_TRUE(decoded.hasContent);
  EXPECT_EQ(test::ToString(decoded.content), text);
  EXPECT_EQ(decoded.certificates, std::vector<Bytes>{*leafDer_});
  EXPECT_EQ(decoded.signerCount, 1u);
}

TEST_F(Messages, DetachedSignedDataWithMd5RsaOidAndSigningTime) {
  const std::string text = "detached content";
  SignedDataRequest req;
  req.content = ByteView(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  req.detached = true;
  req.digestOid = kOidMd5Rsa;
  req.signer = &leaf_;
  req.signingTime = FileTimeFromUnixSeconds(1262401445);  // 2010-01-02 03:04:05
  Bytes msg;
  ASSERT_EQ(EncodeSignedData(req, test::KeySigner(key_), &msg), kErrorSuccess);
  test::WriteFile(dir_ + "/content.bin", text);
  // No certificate in the message: the signer's is given separately.
  ASSERT_EQ(
      CmsVerify(msg, "-binary -content " + dir_ + "/content.bin -certfile " + dir_ + "/leaf.pem"),
      0);
  // The digest OID stands verbatim; contentType, signingTime and messageDigest in DER order.
  EXPECT_TRUE(Contains(msg, FromHex("300d06092a864886f70d0101040500")));
  const Bytes attrs = FromHex(
      "3018"
      "06092a864886f70d010903"
      "310b06092a864886f70d010701"
      "301c"
      "06092a864886f70d010905"
      "310f170d3130303130323033303430355a"
      "301f"
      "06092a864886f70d010904"
      "3112"
      "0410");
  EXPECT_TRUE(Contains(msg, attrs));
  // The detached content info is just the data OID.
  EXPECT_TRUE(Contains(msg, FromHex("300b06092a864886f70d010701")));
  DecodedMessage decoded;
  ASSERT_EQ(DecodeMessage(msg, &decoded), kErrorSuccess);
  EXPECT_FALSE(decoded.hasContent);
  EXPECT_TRUE(decoded.certificates.empty());

  // Verification against other content fails.
  test::WriteFile(dir_ + "/other.bin", "tampered content");
  test::WriteFile(dir_ + "/m.der", test::ToString(msg));
  EXPECT_NE(test::RunCommand("openssl cms -verify -inform DER -noverify -binary -in " + dir_ +
                             "/m.der -content " + dir_ + "/other.bin -certfile " + dir_ +
                             "/leaf.pem -out /dev/null"),
            0);
}

TEST_F(Messages, AttachedWithAttributesAndChainVerifies) {
  const std::u16string wide = u"UTF-16 content 中文";
  std::string bytes;
  for (char16_t c : wide) {
    bytes += static_cast<char>(c & 0xff);
    bytes += static_cast<char>(c >> 8);
  }
  SignedDataRequest req;
  req.content = ByteView(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  req.signer = &leaf_;
  req.signingTime = CurrentFileTime();
  req.certificates = {*leafDer_, *caDer_};
  Bytes msg;
  ASSERT_EQ(EncodeSignedData(req, test::KeySigner(key_), &msg), kErrorSuccess);
  std::string content;
  ASSERT_EQ(CmsVerify(msg, "-binary", &content), 0);
  EXPECT_EQ(content, bytes);
  // The whole chain verifies against the CA as trust anchor.
  test::WriteFile(dir_ + "/m.der", test::ToString(msg));
  std::string out;
  EXPECT_EQ(test::RunCommand("openssl cms -verify -inform DER -binary -purpose any -in " + dir_ +
                                 "/m.der -CAfile " + dir_ + "/ca.pem -out /dev/null",
                             &out),
            0)
      << out;
  std::vector<Bytes> certs;
  ASSERT_EQ(MessageCertificates(msg, &certs), kErrorSuccess);
  EXPECT_EQ(certs, (std::vector<Bytes>{*leafDer_, *caDer_}));

  // The flag alone gives contentType and messageDigest.
  req.signingTime.reset();
  req.authenticatedAttributes = true;
  ASSERT_EQ(EncodeSignedData(req, test::KeySigner(key_), &msg), kErrorSuccess);
  EXPECT_TRUE(Contains(msg, FromHex("06092a864886f70d010904")));
  EXPECT_FALSE(Contains(msg, FromHex("06092a864886f70d010905")));
  ASSERT_EQ(CmsVerify(msg, "-binary"), 0);
}

TEST_F(Messages, EncoderErrors) {
  SignedDataRequest req;
  Bytes msg;
  EXPECT_EQ(EncodeSignedData(req, test::KeySigner(key_), &msg), kEInvalidArg);
  req.signer = &leaf_;
  req.digestOid = "1.2.3.4";
  EXPECT_EQ(EncodeSignedData(req, test::KeySigner(key_), &msg), kCryptEUnknownAlgo);
  req.digestOid = kOidSha1;
  req.signingTime = FileTimeFromUnixSeconds(2524608000);  // 2050-01-01
  EXPECT_EQ(EncodeSignedData(req, test::KeySigner(key_), &msg), kCryptEBadEncode);
  auto cancelled = [](uint32_t, std::span<const uint8_t>, std::vector<uint8_t>*) {
    return kErrorCancelled;
  };
  req.signingTime.reset();
  EXPECT_EQ(EncodeSignedData(req, cancelled, &msg), kErrorCancelled);

  Bytes time;
  ASSERT_EQ(EncodeSigningTime(FileTimeFromUnixSeconds(-631152000), &time), kErrorSuccess);
  EXPECT_EQ(test::ToString(time), std::string("\x17\x0d") + "500101000000Z");
  ASSERT_EQ(EncodeSigningTime(FileTimeFromUnixSeconds(2524607999), &time), kErrorSuccess);
  EXPECT_EQ(test::ToString(time), std::string("\x17\x0d") + "491231235959Z");
  EXPECT_EQ(EncodeSigningTime(FileTimeFromUnixSeconds(-631152001), &time), kCryptEBadEncode);
  uint32_t alg = 0;
  ASSERT_EQ(HashAlgorithmOfOid(kOidMd5Rsa, &alg), kErrorSuccess);
  EXPECT_EQ(alg, kCalgMd5);
}

TEST_F(Messages, DecodesBundlesWrittenByOpenSsl) {
  test::WriteFile(dir_ + "/bundle.pem", test::CertPem(*caDer_) + test::CertPem(*leafDer_));
  std::string out;
  ASSERT_EQ(test::RunCommand("openssl crl2pkcs7 -nocrl -certfile " + dir_ +
                                 "/bundle.pem -outform DER -out " + dir_ + "/p7.der",
                             &out),
            0)
      << out;
  std::vector<Bytes> certs;
  ASSERT_EQ(MessageCertificates(test::ToBytes(test::ReadFile(dir_ + "/p7.der")), &certs),
            kErrorSuccess);
  EXPECT_EQ(certs, (std::vector<Bytes>{*caDer_, *leafDer_}));

  // A streamed (BER, indefinite-length) signed message.
  test::WriteFile(dir_ + "/key.pem", test::KeyPem(key_));
  test::WriteFile(dir_ + "/data.txt", "streamed data");
  ASSERT_EQ(test::RunCommand("openssl cms -sign -binary -nodetach -stream -outform DER -in " +
                                 dir_ + "/data.txt -signer " + dir_ + "/leaf.pem -inkey " + dir_ +
                                 "/key.pem -out " + dir_ + "/ber.der",
                             &out),
            0)
      << out;
  const Bytes ber = test::ToBytes(test::ReadFile(dir_ + "/ber.der"));
  ASSERT_GT(ber.size(), 4u);
  EXPECT_EQ(ber[1], 0x80);  // indefinite length indeed
  DecodedMessage msg;
  ASSERT_EQ(DecodeMessage(ber, &msg), kErrorSuccess);
  EXPECT_EQ(msg.type, kCmsgSigned);
  EXPECT_EQ(test::ToString(msg.content), "streamed data");
  EXPECT_EQ(msg.certificates, std::vector<Bytes>{*leafDer_});

  // A data message has no certificate list.
  ASSERT_EQ(test::RunCommand("openssl cms -data_create -binary -outform DER -in " + dir_ +
                                 "/data.txt -out " + dir_ + "/data.der",
                             &out),
            0)
      << out;
  const Bytes data = test::ToBytes(test::ReadFile(dir_ + "/data.der"));
  ASSERT_EQ(DecodeMessage(data, &msg), kErrorSuccess);
  EXPECT_EQ(msg.type, kCmsgData);
  EXPECT_EQ(test::ToString(msg.content), "streamed data");
  EXPECT_EQ(MessageCertificates(data, &certs), kCryptEInvalidMsgType);
}

TEST_F(Messages, HostileMessagesFailCleanly) {
  std::vector<Bytes> certs;
  // A bare certificate is not a message.
  EXPECT_EQ(MessageCertificates(*leafDer_, &certs), kCryptEAsn1Badtag);
  EXPECT_EQ(MessageCertificates(Bytes{}, &certs), kCryptEAsn1Eod);
  // An unknown content type.
  EXPECT_EQ(MessageCertificates(FromHex("3005060353040a"), &certs), kCryptEInvalidMsgType);
  // Deep indefinite-length nesting.
  Bytes deep;
  for (int i = 0; i < 200; ++i) deep.insert(deep.end(), {0x30, 0x80});
  for (int i = 0; i < 200; ++i) deep.insert(deep.end(), {0x00, 0x00});
  EXPECT_NE(MessageCertificates(deep, &certs), kErrorSuccess);
  Bytes huge(kMaxEncodedSize + 1, 0);
  huge[0] = 0x30;
  EXPECT_EQ(MessageCertificates(huge, &certs), kCryptEAsn1Large);

  SignedDataRequest req;
  req.content = ByteView(reinterpret_cast<const uint8_t*>("x"), 1);
  req.signer = &leaf_;
  req.certificates = {*leafDer_, *caDer_};
  Bytes msg;
  ASSERT_EQ(EncodeSignedData(req, test::KeySigner(key_), &msg), kErrorSuccess);
  DecodedMessage decoded;
  for (size_t n = 0; n < msg.size(); ++n) {
    ASSERT_NE(DecodeMessage(ByteView(msg.data(), n), &decoded), kErrorSuccess) << n;
  }
  std::mt19937 rng(7);
  for (int i = 0; i < 3000; ++i) {
    Bytes bent = msg;
    for (int k = 0; k < 3; ++k) bent[rng() % bent.size()] = static_cast<uint8_t>(rng());
    (void)DecodeMessage(bent, &decoded);
  }
}

}  // namespace
}  // namespace zyq::platform
