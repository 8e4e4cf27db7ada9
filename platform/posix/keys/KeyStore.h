// The key tables of the user's state database: installed providers, key containers and their
// key pairs. Private keys are kept as PKCS#8 DER sealed under the user's master key
// (KeyProtection.h); the state folder is 0700 and the database file 0600 (StateDatabase).
//
// Tables (created on first use):
//   key_providers  (id, name, type)            providers added by InstallProvider
//   key_containers (id, provider, name, generation)
//                                              ids give the creation order (never reused);
//                                              generation: a new random value at every change
//                                              of the container's keys (triggers on key_pairs)
//   key_pairs      (container_id, key_spec, flags, bits, public_key, private_key)
//   key_protection (id, version, key_check)    the master key the private keys are sealed under
// Provider and container names are compared without regard to ASCII letter case.
//
// The functions below run on a database that the caller holds through KeyDatabaseRead (the
// process's lock) or KeyDatabaseWrite (a transaction, which also excludes other processes).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Providers.h"
#include "platform/Secret.h"
#include "platform/posix/StateDatabase.h"
#include "platform/posix/keys/RsaKey.h"

namespace zyq::platform::posix {

// Runs body on the user's state database with the key tables in place, under the process's
// lock of the connection (reads) or inside a transaction (writes: all or nothing).
SysError KeyDatabaseRead(const std::function<SysError(StateDatabase&)>& body);
SysError KeyDatabaseWrite(const std::function<SysError(StateDatabase&)>& body);

// Providers added with InstallProvider, in installation order.
SysError LoadInstalledProviders(StateDatabase& db, std::vector<ProviderInfo>* providers);
// The same, read without setting up the key tables (and without their migrations), since the
// process-wide engine lists the providers while the library loads: a database that has no
// provider table yet lists none.
SysError ReadInstalledProviders(std::vector<ProviderInfo>* providers);
// NTE_EXISTS when the name is taken.
SysError InsertProvider(StateDatabase& db, std::string_view name, uint32_t type);
// Deletes the provider row and every container of the provider; NTE_KEYSET_NOT_DEF if absent.
SysError DeleteProvider(StateDatabase& db, std::string_view name);

struct ContainerRow {
  int64_t id = 0;
  std::string name;  // as created
};

// NTE_BAD_KEYSET when the provider has no container of that name.
SysError FindContainer(StateDatabase& db, std::string_view provider, std::string_view name,
                       ContainerRow* row);
// NTE_EXISTS when the name is taken in the provider.
SysError CreateContainer(StateDatabase& db, std::string_view provider, std::string_view name,
                         ContainerRow* row);
// Deletes the container with its keys; NTE_BAD_KEYSET when absent.
SysError DeleteContainer(StateDatabase& db, std::string_view provider, std::string_view name);
// Names of the provider's containers in creation order.
SysError ListContainers(StateDatabase& db, std::string_view provider,
                        std::vector<std::string>* names);
// Number of containers of all providers (for tests and diagnostics).
SysError CountContainers(StateDatabase& db, int64_t* count);

struct StoredKeyPair {
  uint32_t keySpec = 0;
  uint32_t flags = 0;
  uint32_t bits = 0;
  std::vector<uint8_t> publicKey;  // DER RSAPublicKey
  SecretBytes pkcs8;               // empty unless asked for
};

// The key of keySpec in a container: NTE_BAD_KEYSET (no container), NTE_NO_KEY (no such key).
SysError LoadKeyPair(StateDatabase& db, std::string_view provider, std::string_view container,
                     uint32_t keySpec, bool withPrivateKey, StoredKeyPair* pair);
struct SigningKeyRow {
  int64_t containerId = 0;
  int64_t generation = 0;
  uint32_t flags = 0;
  SecretBytes pkcs8;  // empty unless needPrivateKey asked for it
};

// What a signature needs of a key, in one read: the container's row and generation and the
// key's flags, and the private key only when needPrivateKey(containerId, generation) says so
// (a key already decoded for that generation is not read again). NTE_BAD_KEYSET (no container;
// nothing of *row set) or NTE_NO_KEY (no such key; the container's row and generation set).
SysError LoadSigningKey(
    StateDatabase& db, std::string_view provider, std::string_view container, uint32_t keySpec,
    const std::function<bool(int64_t containerId, int64_t generation)>& needPrivateKey,
    SigningKeyRow* row);
// Stores (or replaces) the key of keySpec in a container.
SysError SaveKeyPair(StateDatabase& db, int64_t containerId, uint32_t keySpec, uint32_t flags,
                     const RsaKeyRecord& key);
SysError SetKeyFlags(StateDatabase& db, int64_t containerId, uint32_t keySpec, uint32_t flags);

struct KeyLocation {
  std::string provider;
  std::string container;
  int64_t containerId = 0;
  uint32_t keySpec = 0;
};

// Every stored key with this public key (DER RSAPublicKey), ordered by container creation and
// then by key spec.
SysError FindKeysByPublicKey(StateDatabase& db, std::span<const uint8_t> publicKey,
                             std::vector<KeyLocation>* keys);

}  // namespace zyq::platform::posix
