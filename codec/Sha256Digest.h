// The engine's own SHA-256 (FIPS 180-4) digest.
#pragma once

#include <cstdint>

#include "codec/BlockDigest.h"
#include "codec/DigestCompress.h"
#include "codec/Sha256Constants.h"

namespace zyq {

using Sha256Digest =
    codec::BlockDigest<codec::kSha256Initial, codec::Sha256Compress,
                       codec::DigestLayout{.blockLength = 64, .lengthBytes = 8, .bigEndian = true}>;

}  // namespace zyq
