// Message digests for the encoders, by CryptoAPI hash algorithm id, over OpenSSL.
#pragma once

#include <cstdint>

#include "platform/Certificates.h"

namespace zyq::platform::posix {

// Computes the digest; false for an algorithm this substitute does not know.
bool ComputeDigest(uint32_t hashAlg, ByteView data, Bytes* digest);

// The SignedData signature bytes from a CryptSignHash-ordered (little-endian) signature.
inline Bytes ReverseBytes(const Bytes& in) {
  return Bytes(in.rbegin(), in.rend());
}

}  // namespace zyq::platform::posix
