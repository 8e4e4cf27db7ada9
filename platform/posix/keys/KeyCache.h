// The decoded private keys of this process, so that a signature with a stored key decodes it
// once and not at every call. An entry stands for one key of one container of one state
// database, as it was at one generation of the container (a value that every change of the
// container's keys replaces, in any process: see KeyStore.h); a key is used from the cache only
// while the container still has that generation, which the caller reads in the same query that
// reads the key's flags.
//
// The cache keeps a few keys (the most recently used); a key dropped from it, or replaced by a
// newer generation, is freed (its parts cleared) when the last signature using it ends. Safe to
// use from several threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/posix/keys/RsaKey.h"

namespace zyq::platform::posix {

struct CachedKeyId {
  std::string_view folder;     // the state database's folder
  std::string_view provider;   // the provider's name
  std::string_view container;  // the container's name
  int64_t containerId = 0;     // the container's row
  uint32_t keySpec = 0;
};

// The key cached for id at this generation, or null. A key cached for the same container and
// spec at another generation, or for an earlier container of the same name, is dropped.
std::shared_ptr<const RsaSigningKey> FindCachedKey(const CachedKeyId& id, int64_t generation);

// Keeps key for id at this generation (replacing what was kept for the same key).
void CacheKey(const CachedKeyId& id, int64_t generation, std::shared_ptr<const RsaSigningKey> key);

// Drops the keys of a container (by name, letter case ignored) or of a whole provider; an empty
// container name means every container of the provider.
void ForgetCachedKeys(std::string_view folder, std::string_view provider,
                      std::string_view container);

// Drops one key of a container row.
void ForgetCachedKey(std::string_view folder, int64_t containerId, uint32_t keySpec);

// Number of keys kept for a container of the current state folder (tests).
size_t CachedKeyCountForTesting(std::string_view provider, std::string_view container);

}  // namespace zyq::platform::posix
