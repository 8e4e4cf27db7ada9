// CryptExportKey(PRIVATEKEYBLOB) and the PKCS#8 export: the published blob layout, checked
// against OpenSSL's numbers, and the rules on non-exportable and user-protected keys.
#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include "platform/CryptoKeys.h"
#include "platform/posix/OpenSslPtr.h"
#include "tests/platform_keys/KeyTestSupport.h"

namespace zyq::platform {
namespace {

using KeyExportTest = test::KeyStateTest;
using posix::OpenSslPtr;

// Reads little-endian bytes as a number.
OpenSslPtr<BIGNUM> FromLittleEndian(const uint8_t* p, size_t n) {
  return OpenSslPtr<BIGNUM>(BN_lebin2bn(p, static_cast<int>(n), nullptr));
}

// A number parameter of the key.
OpenSslPtr<BIGNUM> KeyNumber(const EVP_PKEY* key, const char* name) {
  BIGNUM* number = nullptr;
  EVP_PKEY_get_bn_param(key, name, &number);
  return OpenSslPtr<BIGNUM>(number);
}

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Compares every number of a PRIVATEKEYBLOB with the ones OpenSSL reads from the PKCS#8 form of
// the same key, and checks that n = p * q, so the parts are in their documented places.
void ExpectBlobMatchesKey(const std::vector<uint8_t>& blob, const std::vector<uint8_t>& pkcs8,
                          uint32_t bits) {
  const unsigned char* p = pkcs8.data();
  const OpenSslPtr<EVP_PKEY> key(d2i_AutoPrivateKey(nullptr, &p, static_cast<long>(pkcs8.size())));
  ASSERT_NE(key, nullptr);
  const size_t full = bits / 8, half = bits / 16;
  ASSERT_EQ(blob.size(), 20 + 9 * bits / 16);
  EXPECT_EQ(Le32(&blob[12]), bits);
  const char* names[] = {OSSL_PKEY_PARAM_RSA_N,         OSSL_PKEY_PARAM_RSA_FACTOR1,
                         OSSL_PKEY_PARAM_RSA_FACTOR2,   OSSL_PKEY_PARAM_RSA_EXPONENT1,
                         OSSL_PKEY_PARAM_RSA_EXPONENT2, OSSL_PKEY_PARAM_RSA_COEFFICIENT1,
                         OSSL_PKEY_PARAM_RSA_D};
  const size_t widths[] = {full, half, half, half, half, half, full};
  OpenSslPtr<BIGNUM> parts[7];
  size_t offset = 20;
  for (int i = 0; i < 7; ++i) {
    parts[i] = FromLittleEndian(&blob[offset], widths[i]);
    offset += widths[i];
    const OpenSslPtr<BIGNUM> expected = KeyNumber(key.get(), names[i]);
    ASSERT_NE(expected, nullptr) << names[i];
    EXPECT_EQ(BN_cmp(parts[i].get(), expected.get()), 0) << names[i];
  }
  const OpenSslPtr<BIGNUM> e = KeyNumber(key.get(), OSSL_PKEY_PARAM_RSA_E);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(BN_get_word(e.get()), Le32(&blob[16]));
  const OpenSslPtr<BIGNUM> product(BN_new());
  const OpenSslPtr<BN_CTX> ctx(BN_CTX_new());
  ASSERT_EQ(BN_mul(product.get(), parts[1].get(), parts[2].get(), ctx.get()), 1);
  EXPECT_EQ(BN_cmp(product.get(), parts[0].get()), 0);
}

TEST_F(KeyExportTest, PrivateKeyBlobHasThePublishedLayout) {
  auto context = NewContainerWithKey("blob", kAtKeyExchange, (1024u << 16) | kCryptExportable);
  SecretBytes blob, pkcs8;
  ASSERT_EQ(context->ExportPrivateKeyBlob(kAtKeyExchange, &blob), kErrorSuccess);
  ASSERT_EQ(context->ExportPrivateKeyPkcs8(kAtKeyExchange, &pkcs8), kErrorSuccess);
  ASSERT_EQ(blob.bytes().size(), 596u);
  const auto header = test::Bytes({0x07, 0x02, 0x00, 0x00, 0x00, 0xA4, 0x00, 0x00, 0x52, 0x53,
                                   0x41, 0x32, 0x00, 0x04, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00});
  EXPECT_TRUE(std::equal(header.begin(), header.end(), blob.bytes().begin()));
  ExpectBlobMatchesKey(blob.bytes(), pkcs8.bytes(), 1024);
}

TEST_F(KeyExportTest, SignatureKeyBlobNamesRsaSign) {
  auto context = NewContainerWithKey("sigblob", kAtSignature, (512u << 16) | kCryptExportable);
  SecretBytes blob, pkcs8;
  ASSERT_EQ(context->ExportPrivateKeyBlob(kAtSignature, &blob), kErrorSuccess);
  ASSERT_EQ(context->ExportPrivateKeyPkcs8(kAtSignature, &pkcs8), kErrorSuccess);
  // As in the published 512-bit AT_SIGNATURE example.
  const auto header = test::Bytes({0x07, 0x02, 0x00, 0x00, 0x00, 0x24, 0x00, 0x00, 0x52, 0x53,
                                   0x41, 0x32, 0x00, 0x02, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00});
  ASSERT_EQ(blob.bytes().size(), 308u);
  EXPECT_TRUE(std::equal(header.begin(), header.end(), blob.bytes().begin()));
  ExpectBlobMatchesKey(blob.bytes(), pkcs8.bytes(), 512);
}

TEST_F(KeyExportTest, NonExportableKeyStaysInside) {
  auto context = NewContainerWithKey("locked", kAtKeyExchange, 512u << 16);
  SecretBytes out;
  EXPECT_EQ(context->ExportPrivateKeyBlob(kAtKeyExchange, &out), kNteBadKeyState);
  EXPECT_EQ(context->ExportPrivateKeyPkcs8(kAtKeyExchange, &out), kNteBadKeyState);
  EXPECT_EQ(ExportPrivateKey(context->Link(kAtKeyExchange), &out), kNteBadKeyState);
  EXPECT_TRUE(out.bytes().empty());
  EXPECT_EQ(context->ExportPrivateKeyBlob(kAtSignature, &out), kNteNoKey);
  // It still signs.
  std::vector<uint8_t> signature;
  EXPECT_EQ(
      context->SignHash(kAtKeyExchange, kCalgSha1, std::vector<uint8_t>(20, 1), 0, &signature),
      kErrorSuccess);
}

TEST_F(KeyExportTest, UserProtectedExportAsksFirst) {
  auto context = NewContainerWithKey("guarded", kAtKeyExchange,
                                     (512u << 16) | kCryptExportable | kCryptUserProtected);
  test::RecordingDialogHost refuse(false);
  SetDialogHostForTesting(&refuse);
  SecretBytes out;
  EXPECT_EQ(context->ExportPrivateKeyBlob(kAtKeyExchange, &out), kErrorCancelled);
  EXPECT_EQ(ExportPrivateKey(context->Link(kAtKeyExchange), &out), kErrorCancelled);
  EXPECT_EQ(refuse.asked.size(), 2u);
  test::RecordingDialogHost allow(true);
  SetDialogHostForTesting(&allow);
  EXPECT_EQ(context->ExportPrivateKeyBlob(kAtKeyExchange, &out), kErrorSuccess);
  EXPECT_EQ(out.bytes().size(), 308u);
}

TEST_F(KeyExportTest, ExponentBeyondThirtyTwoBitsHasNoBlobButHasPkcs8) {
  // 4294967311 is the smallest prime above 2^32.
  const OpenSslPtr<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  ASSERT_NE(ctx, nullptr);
  const OpenSslPtr<BIGNUM> e(BN_new());
  BN_set_word(e.get(), 4294967311ULL);
  EVP_PKEY* generated = nullptr;
  ASSERT_EQ(EVP_PKEY_keygen_init(ctx.get()), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_keygen_bits(ctx.get(), 512), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set1_rsa_keygen_pubexp(ctx.get(), e.get()), 1);
  ASSERT_EQ(EVP_PKEY_generate(ctx.get(), &generated), 1);
  const OpenSslPtr<EVP_PKEY> key(generated);
  unsigned char* der = nullptr;
  const int n = i2d_PrivateKey(key.get(), &der);
  const OpenSslPtr<unsigned char> owner(der);
  std::vector<uint8_t> pkcs1(der, der + n);

  KeyProvInfo link;
  ASSERT_EQ(ImportPrivateKey(pkcs1, kMsEnhancedProv, 1, kAtKeyExchange, kCryptExportable, &link),
            kErrorSuccess);
  std::unique_ptr<KeyContext> context;
  ASSERT_EQ(AcquireKeyContext(link, &context), kErrorSuccess);
  SecretBytes out;
  EXPECT_EQ(context->ExportPrivateKeyBlob(kAtKeyExchange, &out), kNteBadKey);
  EXPECT_EQ(context->ExportPrivateKeyPkcs8(kAtKeyExchange, &out), kErrorSuccess);
}

}  // namespace
}  // namespace zyq::platform
