// The engine's own SHA-512 (FIPS 180-4) digest.
#pragma once

#include <cstdint>

#include "codec/BlockDigest.h"
#include "codec/DigestCompress.h"
#include "codec/Sha512Constants.h"

namespace zyq {

using Sha512Digest =
    codec::BlockDigest<codec::kSha512Initial, codec::Sha512Compress,
                       codec::DigestLayout{
                           .blockLength = 128, .lengthBytes = 16, .bigEndian = true}>;

}  // namespace zyq
