// How the key tables keep private keys: sealed (KeyEncryption.h) under the user's master key
// (MasterKey.h). The database records the check value of the master key that its keys are
// sealed under (table key_protection, one row), so that a missing master key and another one
// are told apart, and no new master key is ever made while sealed keys exist:
//   no master key to be found         NTE_BAD_KEY_STATE, rows untouched
//   another key than the recorded one NTE_KEYSET_ENTRY_BAD, rows untouched
//   keyring required, none answers    ERROR_SERVICE_NOT_ACTIVE (MasterKey.h)
// Unencrypted keys written by older code are sealed when a connection first opens the key
// tables, all in one transaction; when that cannot happen then (no master key yet), at the next
// use of a private key. Until the transaction commits the old rows stay as they were.
//
// All functions run on the connection held by the caller (KeyStore.h).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/Secret.h"
#include "platform/posix/StateDatabase.h"
#include "platform/posix/keys/KeyEncryption.h"

namespace zyq::platform::posix {

// Part of the key tables' set-up, once per connection: the table, secure deletion on the
// connection (freed pages are zeroed, so replaced keys leave no copy in the file), and the
// sealing of unencrypted rows. Fails only when the table cannot be made.
SysError SetUpKeyProtection(StateDatabase& db);

// The stored form of a private key for place.
SysError ProtectPrivateKey(StateDatabase& db, KeyPlace place, std::span<const uint8_t> pkcs8,
                           std::vector<uint8_t>* stored);

// The PKCS#8 of a stored private key of place (sealed, or unencrypted from older code).
SysError RevealPrivateKey(StateDatabase& db, KeyPlace place, std::span<const uint8_t> stored,
                          SecretBytes* pkcs8);

}  // namespace zyq::platform::posix
