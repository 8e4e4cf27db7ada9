// The engine's own MD5 (RFC 1321) digest.
#pragma once

#include <cstdint>

#include "codec/BlockDigest.h"
#include "codec/DigestCompress.h"

namespace zyq {
namespace codec {

inline constexpr std::uint32_t kMd5Initial[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

}  // namespace codec

using Md5Digest = codec::BlockDigest<codec::kMd5Initial, codec::Md5Compress,
                                     codec::DigestLayout{
                                         .blockLength = 64, .lengthBytes = 8, .bigEndian = false}>;

}  // namespace zyq
