// The signing step of the encoders that produce signed structures (PKCS#10 requests, PKCS#7
// SignedData): a function that signs a hash value with a private key, as CryptSignHash does.
// The encoders compute the hash; the key stays behind this function (a key container of the
// key API, or anything else that signs, such as a test key).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "platform/CryptoKeys.h"
#include "platform/KeyProvInfo.h"
#include "platform/SystemErrors.h"

namespace zyq::platform {

// Signs `hash` (the value of hash algorithm hashAlg: kCalgSha1, kCalgMd5, ...) with PKCS#1 v1.5
// padding over the DigestInfo, and returns the signature least significant byte first (the
// CryptSignHash order). Errors pass through the encoders unchanged.
using DigestSigner = std::function<SysError(uint32_t hashAlg, std::span<const uint8_t> hash,
                                            std::vector<uint8_t>* signature)>;

// A signer over an acquired key container's key of keySpec (CryptSignAndEncodeCertificate with
// a provider handle). The context must outlive the signer.
inline DigestSigner ContainerSigner(KeyContext& context, uint32_t keySpec) {
  return [&context, keySpec](uint32_t hashAlg, std::span<const uint8_t> hash,
                             std::vector<uint8_t>* signature) {
    return context.SignHash(keySpec, hashAlg, hash, 0, signature);
  };
}

// A signer over the key that a certificate's key link names (CryptAcquireCertificatePrivateKey
// followed by signing); a user-protected key asks the user at each signature.
inline DigestSigner LinkSigner(const KeyProvInfo& link) {
  return [link](uint32_t hashAlg, std::span<const uint8_t> hash, std::vector<uint8_t>* signature) {
    return SignHashWithKey(link, hashAlg, hash, signature);
  };
}

}  // namespace zyq::platform
