// The engine's own SHA-1 (FIPS 180-4) digest.
#pragma once

#include <cstdint>

#include "codec/BlockDigest.h"
#include "codec/DigestCompress.h"

namespace zyq {
namespace codec {

// The initial chaining values.
inline constexpr std::uint32_t kSha1Initial[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476,
                                                  0xc3d2e1f0};

}  // namespace codec

using Sha1Digest =
    codec::BlockDigest<codec::kSha1Initial, codec::Sha1Compress,
                       codec::DigestLayout{.blockLength = 64, .lengthBytes = 8, .bigEndian = true}>;

}  // namespace zyq
