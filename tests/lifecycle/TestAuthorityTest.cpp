// The demonstration authority and the receiving party's signature checks (platform/
// TestAuthority.h), held against the openssl command and the OpenSSL library.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

#include "platform/CryptMessages.h"
#include "platform/CryptoKeys.h"
#include "platform/TestAuthority.h"
#include "tests/lifecycle/LifecycleTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::test {
namespace {

// A PKCS#10 request for the key, subject "CN=<cn>", signed with SHA-256.
Bytes MakeRequest(EVP_PKEY* key, const std::string& cn) {
  const OpenSslPtr<X509_REQ> req(X509_REQ_new());
  X509_NAME* name = X509_REQ_get_subject_name(req.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                             reinterpret_cast<const unsigned char*>(cn.c_str()), -1, -1, 0);
  X509_REQ_set_pubkey(req.get(), key);
  X509_REQ_sign(req.get(), key, EVP_sha256());
  unsigned char* der = nullptr;
  const int n = i2d_X509_REQ(req.get(), &der);
  return TakeDer(der, n);
}

Bytes SignSha1(EVP_PKEY* key, const std::string& text) {
  const OpenSslPtr<EVP_MD_CTX> ctx(EVP_MD_CTX_new());
  size_t n = 0;
  EVP_DigestSignInit(ctx.get(), nullptr, EVP_sha1(), nullptr, key);
  EVP_DigestSign(ctx.get(), nullptr, &n, reinterpret_cast<const unsigned char*>(text.data()),
                 text.size());
  Bytes sig(n);
  EVP_DigestSign(ctx.get(), sig.data(), &n, reinterpret_cast<const unsigned char*>(text.data()),
                 text.size());
  return sig;
}

class TestAuthorityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(platform::TestAuthority::Create("Demo Root CA", &authority), 0u);
  }
  std::unique_ptr<platform::TestAuthority> authority;
};

TEST_F(TestAuthorityTest, IssuesForARequestAndAnswersWithABundleThatOpenSslVerifies) {
  const TestKey key = NewRsaKey(1024);
  Bytes cert, bundle;
  ASSERT_EQ(authority->Issue(MakeRequest(OpenSslKey(key), "A123456789"), 77, 30, &cert, &bundle),
            0u);

  platform::DecodedCertificate decoded;
  ASSERT_EQ(platform::DecodeCertificate(cert, &decoded), 0u);
  EXPECT_EQ(decoded.SerialBigEndian(), Bytes{77});
  EXPECT_EQ(decoded.rsaModulus, KeyModulus(OpenSslKey(key)));
  EXPECT_EQ(platform::KeyUsageByte(decoded), 0xE0);

  std::vector<Bytes> carried;
  ASSERT_EQ(platform::MessageCertificates(bundle, &carried), 0u);
  EXPECT_EQ(carried, (std::vector<Bytes>{cert, authority->certificate()}));

  const std::string folder = NewWorkFolder();
  ASSERT_TRUE(WriteFile(folder + "/root.pem", CertPem(authority->certificate())));
  ASSERT_TRUE(WriteFile(folder + "/user.pem", CertPem(cert)));
  std::string output;
  EXPECT_EQ(
      RunCommand("openssl verify -CAfile " + folder + "/root.pem " + folder + "/user.pem", &output),
      0)
      << output;
}

TEST_F(TestAuthorityTest, RefusesARequestWhoseSignatureDoesNotVerify) {
  const TestKey key = NewRsaKey(1024);
  Bytes request = MakeRequest(OpenSslKey(key), "A123456789");
  request[request.size() - 5] ^= 0x01;  // inside the signature
  Bytes cert, bundle;
  EXPECT_EQ(authority->Issue(request, 1, 30, &cert, &bundle), platform::kNteBadSignature);
  EXPECT_EQ(authority->Issue(Bytes{0x30, 0x00}, 1, 30, &cert, &bundle),
            platform::kCryptEAsn1Badtag);
}

TEST_F(TestAuthorityTest, ChecksPkcs1AndPkcs7SignaturesAsTheReceiverWould) {
  const TestKey key = NewRsaKey(1024);
  Bytes cert, bundle;
  ASSERT_EQ(authority->Issue(MakeRequest(OpenSslKey(key), "A123456789"), 5, 30, &cert, &bundle),
            0u);
  const std::string order = "BUY 2330 1000 @ 580";
  const Bytes content = ToBytes(order);

  Bytes signature = SignSha1(OpenSslKey(key), order);
  bool valid = false;
  ASSERT_EQ(platform::VerifyPkcs1Signature(cert, platform::kCalgSha1, content, signature, &valid),
            0u);
  EXPECT_TRUE(valid);
  signature[10] ^= 0x80;
  ASSERT_EQ(platform::VerifyPkcs1Signature(cert, platform::kCalgSha1, content, signature, &valid),
            0u);
  EXPECT_FALSE(valid);

  // A SignedData made by the openssl command, attached and detached.
  const std::string folder = NewWorkFolder();
  ASSERT_TRUE(WriteFile(folder + "/order.txt", order));
  ASSERT_TRUE(WriteFile(folder + "/user.pem", CertPem(cert)));
  ASSERT_TRUE(WriteFile(folder + "/user.key", KeyPem(key)));
  for (const bool detached : {false, true}) {
    ASSERT_EQ(RunCommand("openssl smime -sign -binary -outform DER -md sha1 -in " + folder +
                         "/order.txt -signer " + folder + "/user.pem -inkey " + folder +
                         "/user.key -out " + folder + "/order.p7" + (detached ? "" : " -nodetach")),
              0);
    const Bytes message = ToBytes(FileBytes(folder + "/order.p7"));
    ASSERT_EQ(platform::VerifySignedData(message, content, {}, &valid), 0u);
    EXPECT_TRUE(valid) << detached;
    ASSERT_EQ(platform::VerifySignedData(message, ToBytes("SELL 2330 1000 @ 580"), {}, &valid), 0u);
    EXPECT_EQ(valid, !detached);
  }
  EXPECT_EQ(platform::VerifySignedData(content, {}, {}, &valid), platform::kCryptEAsn1Badtag);
}

}  // namespace
}  // namespace zyq::test
