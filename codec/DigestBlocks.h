// What the four digest objects share: the buffering that turns a stream
// of Update calls of any size into whole blocks for a compression function.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codec/ByteBuffer.h"
#include "codec/ByteOrder.h"
#include "platform/Secret.h"

namespace zyq::codec {

// The partial block and byte count of a running digest. Compress is called as
// compress(blocks, count) with whole blocks only; data is read in place when it need not be
// buffered.
template <std::size_t kBlockSize>
class BlockStream {
 public:
  void Reset() {
    total_ = 0;
    fill_ = 0;
  }

  template <typename Compress>
  void Feed(const unsigned char* data, std::size_t n, Compress&& compress) {
    if (n == 0) return;
    total_ += n;
    if (fill_ > 0) {
      const std::size_t take = n < kBlockSize - fill_ ? n : kBlockSize - fill_;
      std::memcpy(block_ + fill_, data, take);
      fill_ += take;
      data += take;
      n -= take;
      if (fill_ < kBlockSize) return;
      compress(block_, 1);
      fill_ = 0;
    }
    if (n >= kBlockSize) {
      compress(data, n / kBlockSize);
      data += n / kBlockSize * kBlockSize;
      n %= kBlockSize;
    }
    if (n > 0) {
      std::memcpy(block_, data, n);
      fill_ = n;
    }
  }

  // The standard padding: a 1 bit, zeros, and the message length in bits in a field of
  // kLengthBytes bytes at the end of the last block (most significant byte first when
  // bigEndian, else least significant first). The padding takes one extra block when the length
  // field no longer fits after the 1 bit.
  template <std::size_t kLengthBytes, bool kBigEndian, typename Compress>
  void Pad(Compress&& compress) {
    const std::uint64_t bitsLow = total_ << 3;
    const std::uint64_t bitsHigh = total_ >> 61;
    block_[fill_++] = 0x80;
    if (fill_ > kBlockSize - kLengthBytes) {
      std::memset(block_ + fill_, 0, kBlockSize - fill_);
      compress(block_, 1);
      fill_ = 0;
    }
    std::memset(block_ + fill_, 0, kBlockSize - fill_);
    unsigned char* field = block_ + kBlockSize - kLengthBytes;
    if constexpr (kBigEndian) {
      if constexpr (kLengthBytes == 16) {
        StoreBig64(field, bitsHigh);
        field += 8;
      }
      StoreBig64(field, bitsLow);
    } else {
      static_assert(kLengthBytes == 8);
      StoreLittle64(field, bitsLow);
    }
    compress(block_, 1);
    fill_ = 0;
  }

  void Wipe() {
    SecureWipe(block_, sizeof block_);
    total_ = 0;
    fill_ = 0;
  }

 private:
  std::uint64_t total_ = 0;  // bytes fed since Reset
  std::size_t fill_ = 0;     // bytes waiting in block_
  alignas(16) unsigned char block_[kBlockSize] = {};
};

// Makes *result hold exactly the n digest bytes, as Release followed by Append does; a result
// that already holds n bytes (the digest of a previous Compute) is overwritten in place.
inline void StoreDigest(ByteBuffer* result, const unsigned char* digest, int n) {
  if (result->length() == n) {
    std::memcpy(result->data(), digest, static_cast<std::size_t>(n));
    return;
  }
  result->Release();
  result->Append(digest, n);
}

// Final and Compute of every digest object: finish the running digest into a local block, hand
// it to the result buffer (appended for Final, replacing the content for Compute), and wipe the
// local copy.
template <std::size_t kLength, typename Finish>
void FinishInto(ByteBuffer* result, bool replace, Finish&& finish) {
  unsigned char digest[kLength];
  finish(digest);
  if (replace) {
    StoreDigest(result, digest, static_cast<int>(kLength));
  } else {
    result->Append(digest, static_cast<int>(kLength));
  }
  SecureWipe(digest, sizeof digest);
}

}  // namespace zyq::codec
