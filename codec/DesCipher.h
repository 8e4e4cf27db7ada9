// The engine's own DES / triple-DES (DES-EDE) cipher: CBC mode, an all-zero initial chaining
// value, PKCS#5 padding. One Encrypt or Decrypt per call over a whole in-memory byte string.
//
// Usage: SetAlgorithm (kCalg3Des), SetKey (24 bytes), then Encrypt or Decrypt, then the output.
#pragma once

#include <cstdint>

#include "codec/ByteBuffer.h"
#include "platform/Secret.h"

namespace zyq {

class DesCipher {
 public:
  // The CryptoAPI algorithm identifiers that select the cipher.
  static constexpr std::uint32_t kCalgDes = 0x6601;      // key bytes 0-7: K1
  static constexpr std::uint32_t kCalg3Des = 0x6603;     // 0-7 K1, 8-15 K2, 16-23 K3
  static constexpr std::uint32_t kCalg3Des112 = 0x6609;  // 0-7 K1, 8-15 K2; K3 = K1

  DesCipher() = default;
  // Wipes the key copy and releases the output.
  ~DesCipher();
  DesCipher(const DesCipher&) = delete;
  DesCipher& operator=(const DesCipher&) = delete;

  // kCalgDes, kCalg3Des or kCalg3Des112; any other value selects kCalgDes.
  void SetAlgorithm(std::uint32_t algId);
  std::uint32_t algorithm() const { return algorithm_; }

  // Wipes the previous key; keeps a private copy of the n bytes when key is not null and n > 0,
  // else leaves no key. Parity bits are ignored, as in standard DES.
  void SetKey(const void* key, int n);

  // The output becomes the ciphertext: every whole block in CBC, then one last block of the
  // r = n mod 8 remaining bytes followed by 8 - r bytes of value 8 - r. Its length is
  // n - r + 8. False, with an empty output, when data is null, n <= 0, or the key is shorter
  // than the algorithm needs (8, 24 or 16 bytes).
  bool Encrypt(const void* data, int n);

  // The output becomes the plaintext. Every block but the last is deciphered in CBC. The last
  // is the final 8 bytes, or when n is not a multiple of 8 the trailing n mod 8 bytes followed
  // by zeros; its deciphered last byte p decides what is kept of it: 8 - p bytes for p from 1 to
  // 7, nothing for p = 8, all 8 bytes otherwise. Padding bytes are not checked, so a wrong key
  // or damaged ciphertext still gives true. False (empty output) as for Encrypt.
  bool Decrypt(const void* data, int n);

  const unsigned char* GetOutputData() const { return output_.data(); }
  int GetOutputLength() const { return output_.length(); }
  const ByteBuffer& output() const { return output_; }
  ByteBuffer& output() { return output_; }

 private:
  int RequiredKeyLength() const;

  ByteBuffer output_;
  std::uint32_t algorithm_ = kCalgDes;
  SecretBytes key_;
  // The initial chaining value: all zero, never changed.
  const unsigned char iv_[8] = {};
};

}  // namespace zyq
