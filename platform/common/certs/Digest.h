// Message digests for the shared encoders, by CryptoAPI hash algorithm id: each port
// implements ComputeDigest (OpenSSL on Linux, CryptoAPI on Windows).
#pragma once

#include <cstdint>

#include "platform/Certificates.h"

namespace zyq::platform::common {

// Computes the digest (digest must not be data's own vector); false for an algorithm the
// system does not know.
bool ComputeDigest(uint32_t hashAlg, ByteView data, Bytes* digest);

// The SignedData signature bytes from a CryptSignHash-ordered (little-endian) signature.
inline Bytes ReverseBytes(const Bytes& in) {
  return Bytes(in.rbegin(), in.rend());
}

}  // namespace zyq::platform::common
