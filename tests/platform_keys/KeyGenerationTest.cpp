// CryptGenKey: lengths each provider accepts, key specs, flags, and the public key info that
// CryptExportPublicKeyInfo gives for the new key.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include "platform/CryptoKeys.h"
#include "platform/posix/OpenSslPtr.h"
#include "tests/platform_keys/KeyTestSupport.h"

namespace zyq::platform {
namespace {

using KeyGenerationTest = test::KeyStateTest;

std::unique_ptr<KeyContext> NewContainer(const char* name, const char* provider = kMsEnhancedProv,
                                         uint32_t type = kProvRsaFull) {
  std::unique_ptr<KeyContext> context;
  EXPECT_EQ(AcquireKeyContext(name, provider, type, kCryptNewKeyset, &context), kErrorSuccess);
  return context;
}

// The modulus length OpenSSL reads from the exported public key info.
int PublicKeyBits(const std::vector<uint8_t>& spki) {
  const unsigned char* p = spki.data();
  const posix::OpenSslPtr<EVP_PKEY> key(d2i_PUBKEY(nullptr, &p, static_cast<long>(spki.size())));
  return key ? EVP_PKEY_get_bits(key.get()) : -1;
}

TEST_F(KeyGenerationTest, RequestedLengthsSpecsAndFlagsAreKept) {
  auto context = NewContainer("gen");
  ASSERT_NE(context, nullptr);
  ASSERT_EQ(context->GenerateKey(kAtKeyExchange, (1024u << 16) | kCryptExportable), kErrorSuccess);
  ASSERT_EQ(context->GenerateKey(kAtSignature, (512u << 16) | kCryptUserProtected), kErrorSuccess);
  KeyPairInfo info;
  ASSERT_EQ(context->GetKeyInfo(kAtKeyExchange, &info), kErrorSuccess);
  EXPECT_EQ(info.bits, 1024u);
  EXPECT_EQ(info.flags, kCryptExportable);
  EXPECT_EQ(info.algorithm, kCalgRsaKeyx);
  ASSERT_EQ(context->GetKeyInfo(kAtSignature, &info), kErrorSuccess);
  EXPECT_EQ(info.bits, 512u);
  EXPECT_EQ(info.flags, kCryptUserProtected);
  EXPECT_EQ(info.algorithm, kCalgRsaSign);

  std::vector<uint8_t> exchange, signature;
  ASSERT_EQ(context->ExportPublicKeyInfo(kAtKeyExchange, &exchange), kErrorSuccess);
  ASSERT_EQ(context->ExportPublicKeyInfo(kAtSignature, &signature), kErrorSuccess);
  EXPECT_EQ(PublicKeyBits(exchange), 1024);
  EXPECT_EQ(PublicKeyBits(signature), 512);
  EXPECT_NE(exchange, signature);
}

TEST_F(KeyGenerationTest, TwoThousandBitKeyAndProviderDefaults) {
  auto enhanced = NewContainer("big");
  ASSERT_EQ(enhanced->GenerateKey(kAtKeyExchange, (2048u << 16) | 3), kErrorSuccess);
  KeyPairInfo info;
  ASSERT_EQ(enhanced->GetKeyInfo(kAtKeyExchange, &info), kErrorSuccess);
  EXPECT_EQ(info.bits, 2048u);
  EXPECT_EQ(info.flags, 3u);

  // No length in the flags: 1024 bits, except 512 in the Base provider.
  ASSERT_EQ(enhanced->GenerateKey(kAtSignature, 0), kErrorSuccess);
  ASSERT_EQ(enhanced->GetKeyInfo(kAtSignature, &info), kErrorSuccess);
  EXPECT_EQ(info.bits, 1024u);
  EXPECT_EQ(info.flags, 0u);
  auto base = NewContainer("base", kMsDefProv);
  ASSERT_EQ(base->GenerateKey(kAtSignature, 0), kErrorSuccess);
  ASSERT_EQ(base->GetKeyInfo(kAtSignature, &info), kErrorSuccess);
  EXPECT_EQ(info.bits, 512u);
}

TEST_F(KeyGenerationTest, LengthsAProviderRefusesGiveBadFlags) {
  auto enhanced = NewContainer("limits");
  EXPECT_EQ(enhanced->GenerateKey(kAtSignature, 384u << 16), kNteBadFlags);   // below OpenSSL's
  EXPECT_EQ(enhanced->GenerateKey(kAtSignature, 1020u << 16), kNteBadFlags);  // not 8-aligned
  EXPECT_EQ(enhanced->GenerateKey(kAtSignature, 16392u << 16), kNteBadFlags);
  EXPECT_EQ(enhanced->GenerateKey(kAtSignature, 0xFFFFu << 16), kNteBadFlags);
  EXPECT_EQ(enhanced->GenerateKey(kAtSignature, (512u << 16) | 0x4), kNteBadFlags);
  EXPECT_EQ(enhanced->GenerateKey(3, 512u << 16), kNteBadAlgid);
  EXPECT_EQ(enhanced->GenerateKey(0, 512u << 16), kNteBadAlgid);
  ASSERT_EQ(enhanced->GenerateKey(kAtSignature, 520u << 16), kErrorSuccess);
  KeyPairInfo info;
  ASSERT_EQ(enhanced->GetKeyInfo(kAtSignature, &info), kErrorSuccess);
  EXPECT_EQ(info.bits, 520u);
  EXPECT_EQ(enhanced->GetKeyInfo(kAtKeyExchange, &info), kNteNoKey);

  // The Base provider makes exchange keys of at most 1024 bits; signature keys may be longer.
  auto base = NewContainer("base-limits", kMsDefProv);
  EXPECT_EQ(base->GenerateKey(kAtKeyExchange, 2048u << 16), kNteBadFlags);
  EXPECT_EQ(base->GenerateKey(kAtKeyExchange, 1024u << 16), kErrorSuccess);
  EXPECT_EQ(base->GetKeyInfo(kAtSignature, &info), kNteNoKey);
}

TEST_F(KeyGenerationTest, GeneratingAgainReplacesTheKeyOfThatSpecOnly) {
  auto context = NewContainer("again");
  ASSERT_EQ(context->GenerateKey(kAtKeyExchange, 512u << 16), kErrorSuccess);
  ASSERT_EQ(context->GenerateKey(kAtSignature, 512u << 16), kErrorSuccess);
  std::vector<uint8_t> exchange1, exchange2, signature1, signature2;
  ASSERT_EQ(context->ExportPublicKeyInfo(kAtKeyExchange, &exchange1), kErrorSuccess);
  ASSERT_EQ(context->ExportPublicKeyInfo(kAtSignature, &signature1), kErrorSuccess);
  ASSERT_EQ(context->GenerateKey(kAtKeyExchange, (512u << 16) | kCryptExportable), kErrorSuccess);
  ASSERT_EQ(context->ExportPublicKeyInfo(kAtKeyExchange, &exchange2), kErrorSuccess);
  ASSERT_EQ(context->ExportPublicKeyInfo(kAtSignature, &signature2), kErrorSuccess);
  EXPECT_NE(exchange1, exchange2);
  EXPECT_EQ(signature1, signature2);
}

TEST_F(KeyGenerationTest, PublicKeyInfoIsRsaEncryptionWithNullParameters) {
  auto context = NewContainerWithKey("spki", kAtKeyExchange, (1024u << 16) | kCryptExportable);
  std::vector<uint8_t> spki;
  ASSERT_EQ(context->ExportPublicKeyInfo(kAtKeyExchange, &spki), kErrorSuccess);
  // 30 81 9f | 30 0d 06 09 2a864886f70d010101 05 00 | 03 81 8d 00 | 30 81 89 02 81 81 00 ...
  const auto header =
      test::Bytes({0x30, 0x81, 0x9F, 0x30, 0x0D, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D,
                   0x01, 0x01, 0x01, 0x05, 0x00, 0x03, 0x81, 0x8D, 0x00, 0x30, 0x81, 0x89});
  ASSERT_EQ(spki.size(), 162u);
  EXPECT_TRUE(std::equal(header.begin(), header.end(), spki.begin()));
  // The same bytes OpenSSL writes for the private key.
  SecretBytes pkcs8;
  ASSERT_EQ(context->ExportPrivateKeyPkcs8(kAtKeyExchange, &pkcs8), kErrorSuccess);
  EXPECT_EQ(spki, test::OpenSslPublicKeyInfo(pkcs8.bytes()));
}

}  // namespace
}  // namespace zyq::platform
