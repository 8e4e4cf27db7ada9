// CryptSignHash: PKCS#1 v1.5 signatures of given hash values, least significant byte first,
// checked by OpenSSL (library and command), and the user's confirmation for protected keys.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include "platform/CryptoKeys.h"
#include "platform/posix/OpenSslPtr.h"
#include "tests/platform_keys/KeyTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::platform {
namespace {

using SigningTest = test::KeyStateTest;

const std::vector<uint8_t> kSha1Prefix = test::Bytes(
    {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E, 0x03, 0x02, 0x1A, 0x05, 0x00, 0x04, 0x14});

std::vector<uint8_t> Pattern(size_t n, int seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + 37 * i);
  return v;
}

// OpenSSL's own check of a PKCS#1 v1.5 signature over a digest of algorithm md: it builds the
// DigestInfo itself, independently of the signer's prefix table.
bool OpenSslVerifiesDigest(const std::vector<uint8_t>& spki, const EVP_MD* md,
                           const std::vector<uint8_t>& digest,
                           const std::vector<uint8_t>& bigEndianSignature) {
  const unsigned char* p = spki.data();
  const platform::posix::OpenSslPtr<EVP_PKEY> key(
      d2i_PUBKEY(nullptr, &p, static_cast<long>(spki.size())));
  if (!key) return false;
  const platform::posix::OpenSslPtr<EVP_PKEY_CTX> owner(EVP_PKEY_CTX_new(key.get(), nullptr));
  EVP_PKEY_CTX* ctx = owner.get();
  return ctx != nullptr && EVP_PKEY_verify_init(ctx) == 1 &&
         EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING) == 1 &&
         EVP_PKEY_CTX_set_signature_md(ctx, md) == 1 &&
         EVP_PKEY_verify(ctx, bigEndianSignature.data(), bigEndianSignature.size(), digest.data(),
                         digest.size()) == 1;
}

class SigningWithKeyTest : public SigningTest {
 protected:
  void SetUp() override {
    SigningTest::SetUp();
    context_ = NewContainerWithKey("signer", kAtKeyExchange, 1024u << 16);
    ASSERT_NE(context_, nullptr);
    ASSERT_EQ(context_->ExportPublicKeyInfo(kAtKeyExchange, &spki_), kErrorSuccess);
  }
  std::unique_ptr<KeyContext> context_;
  std::vector<uint8_t> spki_;
};

TEST_F(SigningWithKeyTest, Sha1AndMd5SignaturesVerifyWhenReversed) {
  const auto sha1 = Pattern(20, 1);
  std::vector<uint8_t> signature;
  ASSERT_EQ(context_->SignHash(kAtKeyExchange, kCalgSha1, sha1, 0, &signature), kErrorSuccess);
  ASSERT_EQ(signature.size(), 128u);
  EXPECT_TRUE(OpenSslVerifiesDigest(spki_, EVP_sha1(), sha1, test::Reversed(signature)));
  EXPECT_FALSE(OpenSslVerifiesDigest(spki_, EVP_sha1(), sha1, signature));  // byte order matters
  EXPECT_TRUE(
      test::OpenSslVerifiesRaw(spki_, test::Concat(kSha1Prefix, sha1), test::Reversed(signature)));

  const auto md5 = Pattern(16, 2);
  ASSERT_EQ(context_->SignHash(kAtKeyExchange, kCalgMd5, md5, 0, &signature), kErrorSuccess);
  EXPECT_TRUE(OpenSslVerifiesDigest(spki_, EVP_md5(), md5, test::Reversed(signature)));
  EXPECT_FALSE(OpenSslVerifiesDigest(spki_, EVP_sha1(), Pattern(20, 2), test::Reversed(signature)));
}

TEST_F(SigningWithKeyTest, OpensslCommandVerifiesTheDigestInfoSignature) {
  const auto sha1 = Pattern(20, 9);
  std::vector<uint8_t> signature;
  ASSERT_EQ(context_->SignHash(kAtKeyExchange, kCalgSha1, sha1, 0, &signature), kErrorSuccess);
  const std::string dir = test::TestRoot() + "/tmp/";
  auto write = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
    ASSERT_TRUE(test::WriteFile(dir + name, std::string(bytes.begin(), bytes.end())));
  };
  write("pub.der", spki_);
  write("digestinfo.bin", test::Concat(kSha1Prefix, sha1));
  write("sig.bin", test::Reversed(signature));
  auto tampered = test::Reversed(signature);
  tampered[40] ^= 1;
  write("bad.bin", tampered);
  const std::string command = "openssl pkeyutl -verify -pubin -keyform DER -inkey " + dir +
                              "pub.der -in " + dir + "digestinfo.bin -sigfile " + dir;
  std::string output;
  EXPECT_EQ(test::RunCommand(command + "sig.bin", &output), 0) << output;
  EXPECT_NE(output.find("Signature Verified Successfully"), std::string::npos) << output;
  EXPECT_NE(test::RunCommand(command + "bad.bin", &output), 0) << output;
}

TEST_F(SigningWithKeyTest, BareValuesForShaMd5AndNoHashOid) {
  const auto shamd5 = Pattern(36, 3);
  std::vector<uint8_t> signature;
  ASSERT_EQ(context_->SignHash(kAtKeyExchange, kCalgSslShaMd5, shamd5, 0, &signature),
            kErrorSuccess);
  EXPECT_TRUE(test::OpenSslVerifiesRaw(spki_, shamd5, test::Reversed(signature)));

  const auto sha1 = Pattern(20, 4);
  ASSERT_EQ(context_->SignHash(kAtKeyExchange, kCalgSha1, sha1, kCryptNoHashOid, &signature),
            kErrorSuccess);
  EXPECT_TRUE(test::OpenSslVerifiesRaw(spki_, sha1, test::Reversed(signature)));
}

TEST_F(SigningWithKeyTest, BadAlgorithmsLengthsFlagsAndSpecs) {
  std::vector<uint8_t> signature = {1, 2, 3};
  EXPECT_EQ(context_->SignHash(kAtKeyExchange, kCalgSha1, Pattern(16, 0), 0, &signature),
            kNteBadHash);
  EXPECT_EQ(context_->SignHash(kAtKeyExchange, kCalgMd5, Pattern(20, 0), 0, &signature),
            kNteBadHash);
  EXPECT_EQ(context_->SignHash(kAtKeyExchange, 0x8001 /* MD2 */, Pattern(16, 0), 0, &signature),
            kNteBadAlgid);
  // SHA-2 belongs to the RSA/AES provider type.
  EXPECT_EQ(context_->SignHash(kAtKeyExchange, kCalgSha256, Pattern(32, 0), 0, &signature),
            kNteBadAlgid);
  EXPECT_EQ(context_->SignHash(kAtKeyExchange, kCalgSha1, Pattern(20, 0), 0x2, &signature),
            kNteBadFlags);
  EXPECT_EQ(context_->SignHash(3, kCalgSha1, Pattern(20, 0), 0, &signature), kNteBadAlgid);
  EXPECT_EQ(context_->SignHash(kAtSignature, kCalgSha1, Pattern(20, 0), 0, &signature), kNteNoKey);
  EXPECT_EQ(signature, (std::vector<uint8_t>{1, 2, 3}));  // untouched on failure
}

TEST_F(SigningTest, Sha2InTheAesProviderAndTooShortKeys) {
  auto context =
      NewContainerWithKey("aes", kAtSignature, 512u << 16, kMsEnhRsaAesProv, kProvRsaAes);
  std::vector<uint8_t> spki, signature;
  ASSERT_EQ(context->ExportPublicKeyInfo(kAtSignature, &spki), kErrorSuccess);
  const auto sha256 = Pattern(32, 5);
  ASSERT_EQ(context->SignHash(kAtSignature, kCalgSha256, sha256, 0, &signature), kErrorSuccess);
  EXPECT_TRUE(OpenSslVerifiesDigest(spki, EVP_sha256(), sha256, test::Reversed(signature)));
  // The SHA-384 and SHA-512 DigestInfos (67 and 83 bytes) do not fit a 512-bit key's padding.
  EXPECT_EQ(context->SignHash(kAtSignature, kCalgSha384, Pattern(48, 6), 0, &signature),
            kNteBadLen);
  EXPECT_EQ(context->SignHash(kAtSignature, kCalgSha512, Pattern(64, 7), 0, &signature),
            kNteBadLen);
  ASSERT_EQ(context->GenerateKey(kAtSignature, 1024u << 16), kErrorSuccess);
  ASSERT_EQ(context->ExportPublicKeyInfo(kAtSignature, &spki), kErrorSuccess);
  const auto sha512 = Pattern(64, 7);
  ASSERT_EQ(context->SignHash(kAtSignature, kCalgSha512, sha512, 0, &signature), kErrorSuccess);
  EXPECT_TRUE(OpenSslVerifiesDigest(spki, EVP_sha512(), sha512, test::Reversed(signature)));
  const auto sha384 = Pattern(48, 6);
  ASSERT_EQ(context->SignHash(kAtSignature, kCalgSha384, sha384, 0, &signature), kErrorSuccess);
  EXPECT_TRUE(OpenSslVerifiesDigest(spki, EVP_sha384(), sha384, test::Reversed(signature)));
}

TEST_F(SigningTest, UserProtectedKeyAsksTheUserEveryTime) {
  auto context = NewContainerWithKey("guarded", kAtSignature, (512u << 16) | kCryptUserProtected);
  std::vector<uint8_t> spki, signature;
  ASSERT_EQ(context->ExportPublicKeyInfo(kAtSignature, &spki), kErrorSuccess);  // no question

  test::RecordingDialogHost refuse(false);
  SetDialogHostForTesting(&refuse);
  EXPECT_EQ(context->SignHash(kAtSignature, kCalgSha1, Pattern(20, 1), 0, &signature),
            kErrorCancelled);
  EXPECT_TRUE(signature.empty());
  EXPECT_EQ(refuse.asked, (std::vector<std::string>{"guarded"}));

  test::RecordingDialogHost allow(true);
  SetDialogHostForTesting(&allow);
  const auto sha1 = Pattern(20, 1);
  ASSERT_EQ(context->SignHash(kAtSignature, kCalgSha1, sha1, 0, &signature), kErrorSuccess);
  ASSERT_EQ(context->SignHash(kAtSignature, kCalgSha1, sha1, 0, &signature), kErrorSuccess);
  EXPECT_TRUE(OpenSslVerifiesDigest(spki, EVP_sha1(), sha1, test::Reversed(signature)));
  EXPECT_EQ(allow.asked.size(), 2u);

  // A silent context must not show anything: it fails without asking.
  std::unique_ptr<KeyContext> silent;
  ASSERT_EQ(AcquireKeyContext("guarded", kMsEnhancedProv, 1, kCryptSilent, &silent), kErrorSuccess);
  EXPECT_EQ(silent->SignHash(kAtSignature, kCalgSha1, sha1, 0, &signature), kNteSilentContext);
  EXPECT_EQ(allow.asked.size(), 2u);
}

TEST_F(SigningTest, UnprotectedKeyNeverAsksAndLinksSignToo) {
  auto context = NewContainerWithKey("plain", kAtSignature, 512u << 16);
  test::RecordingDialogHost refuse(false);
  SetDialogHostForTesting(&refuse);
  std::vector<uint8_t> spki, signature;
  ASSERT_EQ(context->ExportPublicKeyInfo(kAtSignature, &spki), kErrorSuccess);
  const auto sha1 = Pattern(20, 8);
  ASSERT_EQ(SignHashWithKey(context->Link(kAtSignature), kCalgSha1, sha1, &signature),
            kErrorSuccess);
  EXPECT_TRUE(OpenSslVerifiesDigest(spki, EVP_sha1(), sha1, test::Reversed(signature)));
  EXPECT_TRUE(refuse.asked.empty());
  EXPECT_EQ(SignHashWithKey(context->Link(kAtKeyExchange), kCalgSha1, sha1, &signature), kNteNoKey);
  EXPECT_EQ(SignHashWithKey({"missing", kMsEnhancedProv, 1, 0, kAtSignature}, kCalgSha1, sha1,
                            &signature),
            kNteBadKeyset);
}

}  // namespace
}  // namespace zyq::platform
