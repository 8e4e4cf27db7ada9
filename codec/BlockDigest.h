// A digest object over a block compression function: Md5Digest, Sha1Digest, Sha256Digest and
// Sha512Digest are this template with their algorithm's initial chaining values (an array of
// 32- or 64-bit words; the digest is all of them, in order), compression function
// Compress(state, blocks, count) and block layout.
#pragma once

#include <cstddef>
#include <string_view>
#include <type_traits>

#include "codec/ByteBuffer.h"
#include "codec/ByteOrder.h"
#include "codec/DigestBlocks.h"
#include "platform/Secret.h"

namespace zyq::codec {

struct DigestLayout {
  std::size_t blockLength;  // bytes
  std::size_t lengthBytes;  // the padding's message-length field: 8 or 16
  bool bigEndian;           // the byte order of that field and of the digest's words
};

template <const auto& kInitial, auto Compress, DigestLayout kLayout>
class BlockDigest {
  using Word = std::remove_cvref_t<decltype(kInitial[0])>;
  static constexpr std::size_t kWords = std::extent_v<std::remove_cvref_t<decltype(kInitial)>>;

 public:
  static constexpr int kDigestLength = static_cast<int>(sizeof kInitial);
  static constexpr int kBlockLength = static_cast<int>(kLayout.blockLength);

  // Ready for Update, as after Init.
  BlockDigest() { Init(); }
  // Wipes the running state: it may hold part of a secret.
  ~BlockDigest() {
    SecureWipe(state_, sizeof state_);
    stream_.Wipe();
  }
  BlockDigest(const BlockDigest&) = delete;
  BlockDigest& operator=(const BlockDigest&) = delete;

  // Resets the running state to the initial values and zero length.
  void Init() {
    for (std::size_t i = 0; i < kWords; ++i) state_[i] = kInitial[i];
    stream_.Reset();
  }

  // Feeds n bytes; may be called any number of times, with any split of the message.
  void Update(const void* data, std::size_t n) {
    if (data == nullptr) return;
    stream_.Feed(static_cast<const unsigned char*>(data), n, Compressor());
  }

  // Pads, appends the kDigestLength-byte digest to the result buffer, wipes the running state
  // and starts a new message (as Init).
  void Final() {
    FinishInto<kDigestLength>(&result_, false, [this](unsigned char* d) { Finish(d); });
  }

  // Empties the result, then leaves the digest of the n bytes in it; returns the result.
  const ByteBuffer& Compute(const void* data, std::size_t n) {
    Init();
    Update(data, n);
    FinishInto<kDigestLength>(&result_, true, [this](unsigned char* d) { Finish(d); });
    return result_;
  }
  const ByteBuffer& Compute(std::string_view text) { return Compute(text.data(), text.size()); }

  const ByteBuffer& result() const { return result_; }
  ByteBuffer& result() { return result_; }

 private:
  auto Compressor() {
    return
        [this](const unsigned char* blocks, std::size_t count) { Compress(state_, blocks, count); };
  }

  // Pads, writes the digest to digest[0..kDigestLength), and starts a new message.
  void Finish(unsigned char* digest) {
    stream_.template Pad<kLayout.lengthBytes, kLayout.bigEndian>(Compressor());
    for (std::size_t i = 0; i < kWords; ++i) {
      unsigned char* out = digest + sizeof(Word) * i;
      if constexpr (sizeof(Word) == 8) {
        static_assert(kLayout.bigEndian);
        StoreBig64(out, state_[i]);
      } else if constexpr (kLayout.bigEndian) {
        StoreBig32(out, state_[i]);
      } else {
        StoreLittle32(out, state_[i]);
      }
    }
    // The partial block may hold the end of a secret; the chaining values are overwritten by
    // Init.
    stream_.Wipe();
    Init();
  }

  ByteBuffer result_;
  Word state_[kWords];
  BlockStream<kLayout.blockLength> stream_;
};

}  // namespace zyq::codec
