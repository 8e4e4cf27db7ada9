// RSA key material over OpenSSL: generation, reading imported keys, the PRIVATEKEYBLOB form and
// raw PKCS#1 v1.5 signing. Keys cross this interface only as DER bytes; OpenSSL objects stay
// inside RsaKey.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/Secret.h"
#include "platform/SystemErrors.h"

namespace zyq::platform::posix {

// A private RSA key as a key container keeps it.
struct RsaKeyRecord {
  SecretBytes pkcs8;               // unencrypted PKCS#8 PrivateKeyInfo DER
  std::vector<uint8_t> publicKey;  // DER RSAPublicKey (the SubjectPublicKeyInfo bit string)
  uint32_t bits = 0;               // modulus length
};

// A new two-prime key of bits bits with exponent 65537 (OpenSSL accepts 512 bits and more).
// NTE_FAIL when the generator fails.
SysError GenerateRsaKey(uint32_t bits, RsaKeyRecord* key);

// Reads a private key given as PKCS#8 PrivateKeyInfo or PKCS#1 RSAPrivateKey DER.
// NTE_BAD_DATA when the bytes are not one private key (trailing bytes included), NTE_BAD_ALGID
// for a key that is not plain RSA, NTE_BAD_KEY for multi-prime keys and for moduli outside
// minBits..maxBits.
SysError ReadRsaPrivateKey(std::span<const uint8_t> der, uint32_t minBits, uint32_t maxBits,
                           RsaKeyRecord* key);

// The CryptoAPI PRIVATEKEYBLOB of a stored key (keyAlgorithm: CALG_RSA_KEYX or CALG_RSA_SIGN).
// NTE_BAD_KEY when the public exponent exceeds 32 bits or a part does not fit its field.
SysError RsaPrivateKeyBlob(std::span<const uint8_t> pkcs8, uint32_t keyAlgorithm,
                           SecretBytes* blob);

// A stored private key decoded once, to sign with again and again; several threads may sign
// with one at the same time. The key parts are cleared when the last owner drops it.
class RsaSigningKey {
 public:
  // Decodes a stored key (PKCS#8 DER). NTE_BAD_KEY when the bytes are not one private key.
  static SysError Decode(std::span<const uint8_t> pkcs8, std::shared_ptr<const RsaSigningKey>* key);

  struct Loaded;
  class Token {
    friend class RsaSigningKey;
    Token() = default;
  };
  // Made only by Decode (the token cannot be made elsewhere).
  RsaSigningKey(Token, std::unique_ptr<Loaded> loaded);
  ~RsaSigningKey();
  RsaSigningKey(const RsaSigningKey&) = delete;
  RsaSigningKey& operator=(const RsaSigningKey&) = delete;

  // The PKCS#1 v1.5 (block type 1) signature of block, most significant byte first, modulus
  // length. NTE_BAD_LEN when block is longer than the modulus length less 11 bytes.
  SysError SignPkcs1(std::span<const uint8_t> block, std::vector<uint8_t>* signature) const;

 private:
  std::unique_ptr<Loaded> loaded_;
};

}  // namespace zyq::platform::posix
