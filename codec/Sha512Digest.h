// The engine's own SHA-512 (FIPS 180-4) digest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "codec/ByteBuffer.h"
#include "codec/DigestBlocks.h"

namespace zyq {

class Sha512Digest {
 public:
  static constexpr int kDigestLength = 64;
  static constexpr int kBlockLength = 128;

  // Ready for Update, as after Init.
  Sha512Digest() { Init(); }
  // Wipes the running state: it may hold part of a secret.
  ~Sha512Digest();
  Sha512Digest(const Sha512Digest&) = delete;
  Sha512Digest& operator=(const Sha512Digest&) = delete;

  // Resets the running state to the initial values and zero length.
  void Init();
  // Feeds n bytes; may be called any number of times, with any split of the message.
  void Update(const void* data, std::size_t n);
  // Pads, appends the 64-byte digest to the result buffer, wipes the running state and starts a
  // new message (as Init).
  void Final();
  // Empties the result, then leaves the digest of the n bytes in it. Always true.
  bool Compute(const void* data, std::size_t n);
  bool Compute(std::string_view text) { return Compute(text.data(), text.size()); }

  const ByteBuffer& result() const { return result_; }
  ByteBuffer& result() { return result_; }

 private:
  // Pads, writes the digest to digest[0..kDigestLength), and starts a new message.
  void Finish(unsigned char* digest);

  ByteBuffer result_;
  std::uint64_t state_[8];
  codec::BlockStream<128> stream_;
};

}  // namespace zyq
