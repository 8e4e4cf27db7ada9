#include "tests/platform_keys/KeyTestSupport.h"

#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>

#include "platform/posix/OpenSslPtr.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::test {

using platform::posix::OpenSslPtr;

void KeyStateTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string folder = TestRoot() + "/state-" + info->test_suite_name() + "-" + info->name();
  setenv("ZYQSEC_HOME", folder.c_str(), 1);
}

void KeyStateTest::TearDown() {
  platform::SetDialogHostForTesting(nullptr);
}

std::unique_ptr<platform::KeyContext> KeyStateTest::NewContainerWithKey(const std::string& name,
                                                                        uint32_t keySpec,
                                                                        uint32_t flags,
                                                                        const std::string& provider,
                                                                        uint32_t type) {
  std::unique_ptr<platform::KeyContext> context;
  EXPECT_EQ(platform::AcquireKeyContext(name, provider, type, platform::kCryptNewKeyset, &context),
            platform::kErrorSuccess);
  if (!context) return nullptr;
  if ((flags >> 16) == 0) flags |= 512u << 16;
  EXPECT_EQ(context->GenerateKey(keySpec, flags), platform::kErrorSuccess);
  return context;
}

std::vector<uint8_t> OpenSslRsaKeyDer(int bits, bool pkcs1) {
  const OpenSslPtr<EVP_PKEY> key(EVP_RSA_gen(static_cast<unsigned>(bits)));
  if (!key) return {};
  unsigned char* out = nullptr;
  int n;
  if (pkcs1) {
    n = i2d_PrivateKey(key.get(), &out);  // RSAPrivateKey for RSA
  } else {
    const OpenSslPtr<PKCS8_PRIV_KEY_INFO> p8(EVP_PKEY2PKCS8(key.get()));
    n = i2d_PKCS8_PRIV_KEY_INFO(p8.get(), &out);
  }
  const OpenSslPtr<unsigned char> owner(out);
  return std::vector<uint8_t>(out, out + std::max(n, 0));
}

std::vector<uint8_t> OpenSslPublicKeyInfo(const std::vector<uint8_t>& privateKeyDer) {
  const unsigned char* p = privateKeyDer.data();
  const OpenSslPtr<EVP_PKEY> key(
      d2i_AutoPrivateKey(nullptr, &p, static_cast<long>(privateKeyDer.size())));
  if (!key) return {};
  unsigned char* out = nullptr;
  const int n = i2d_PUBKEY(key.get(), &out);
  const OpenSslPtr<unsigned char> owner(out);
  return std::vector<uint8_t>(out, out + std::max(n, 0));
}

bool OpenSslVerifiesRaw(const std::vector<uint8_t>& spki, const std::vector<uint8_t>& block,
                        const std::vector<uint8_t>& signature) {
  const unsigned char* p = spki.data();
  const OpenSslPtr<EVP_PKEY> key(d2i_PUBKEY(nullptr, &p, static_cast<long>(spki.size())));
  if (!key) return false;
  const OpenSslPtr<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new(key.get(), nullptr));
  if (!ctx || EVP_PKEY_verify_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1) {
    return false;
  }
  return EVP_PKEY_verify(ctx.get(), signature.data(), signature.size(), block.data(),
                         block.size()) == 1;
}

std::vector<uint8_t> Reversed(std::vector<uint8_t> bytes) {
  std::reverse(bytes.begin(), bytes.end());
  return bytes;
}

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace zyq::test
