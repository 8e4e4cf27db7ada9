// The stored form of a private key: AES-256-GCM under the master key's encryption key, bound to
// the key's place (container row and key spec) so that a stored key copied into another row
// does not open there.
//
//   byte 0       format version: kSealedKeyV1 (1); unencrypted PKCS#8 of older code starts 0x30
//   bytes 1-12   random nonce
//   then         the encrypted PKCS#8, then the 16-byte tag
// Associated data: the version byte, the container row (8 bytes, most significant first) and
// the key spec (4 bytes, the same).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/Secret.h"
#include "platform/SystemErrors.h"
#include "platform/posix/secrets/MasterKey.h"

namespace zyq::platform::posix {

inline constexpr uint8_t kSealedKeyV1 = 1;

struct KeyPlace {
  int64_t containerId = 0;
  uint32_t keySpec = 0;
};

// The stored bytes start as unencrypted PKCS#8 DER (a SEQUENCE), as older code wrote them.
bool IsUnsealedKey(std::span<const uint8_t> stored);

// Encrypts pkcs8 for place. NTE_FAIL when the cipher fails.
SysError SealKey(const MasterKey& key, KeyPlace place, std::span<const uint8_t> pkcs8,
                 std::vector<uint8_t>* stored);

// Decrypts a stored key of place. NTE_KEYSET_ENTRY_BAD when the bytes do not open under this
// key for this place (another key, another row, changed bytes) or are of an unknown format.
SysError OpenSealedKey(const MasterKey& key, KeyPlace place, std::span<const uint8_t> stored,
                       SecretBytes* pkcs8);

}  // namespace zyq::platform::posix
