// Shared pieces of the key tests: a fresh state folder per test, a dialog host whose answer the
// test sets, and OpenSSL as the independent party that checks what the key code produces.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/CryptoKeys.h"
#include "platform/DialogHost.h"

namespace zyq::test {

// Answers ConfirmKeyAccess with a fixed answer and records the containers it was asked about.
class RecordingDialogHost final : public platform::DialogHost {
 public:
  explicit RecordingDialogHost(bool allow) : allow_(allow) {}
  bool ConfirmKeyAccess(const std::string& containerName) override {
    asked.push_back(containerName);
    return allow_;
  }
  std::vector<std::string> asked;

 private:
  bool allow_;
};

// Points ZYQSEC_HOME at a folder of the current test's own, so that every test starts with an
// empty state, and restores the dialog host afterwards.
class KeyStateTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A new container of the provider with one freshly generated key (cheap 512-bit by default).
  std::unique_ptr<platform::KeyContext> NewContainerWithKey(
      const std::string& name, uint32_t keySpec, uint32_t flags,
      const std::string& provider = platform::kMsEnhancedProv,
      uint32_t type = platform::kProvRsaFull);
};

// An RSA key of bits bits made by OpenSSL, as PKCS#8 PrivateKeyInfo DER (or PKCS#1 when asked).
std::vector<uint8_t> OpenSslRsaKeyDer(int bits, bool pkcs1 = false);

// The SubjectPublicKeyInfo DER that OpenSSL writes for the private key in der.
std::vector<uint8_t> OpenSslPublicKeyInfo(const std::vector<uint8_t>& privateKeyDer);

// True when OpenSSL verifies signature (most significant byte first) as the PKCS#1 v1.5
// block-type-1 signature of block (a DigestInfo or bare value) under the key in spki.
bool OpenSslVerifiesRaw(const std::vector<uint8_t>& spki, const std::vector<uint8_t>& block,
                        const std::vector<uint8_t>& signature);

std::vector<uint8_t> Reversed(std::vector<uint8_t> bytes);
std::vector<uint8_t> Bytes(std::initializer_list<int> values);
std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b);

}  // namespace zyq::test
