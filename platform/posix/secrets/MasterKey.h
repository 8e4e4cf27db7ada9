// The user's master key: 256 random bits under which the key tables keep private keys (see
// KeyProtection.h). It lives in the desktop's Secret Service when one answers, else in a 0600
// file outside the state folder (MasterKeyFile.h); ZYQSEC_KEYRING chooses:
//   unset, "auto"  the Secret Service when one answers on the session bus, else the file;
//   "required"     the Secret Service only: without one, kErrorServiceNotActive;
//   "off"          the file only (servers with a session bus but no one to unlock a keyring).
// A key is looked up once per process and place, kept in memory and wiped at exit.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/SystemErrors.h"

namespace zyq::platform::posix {

class MasterKey {
 public:
  static constexpr size_t kSize = 32;
  static constexpr size_t kCheckSize = 16;

  // Derives the encryption key and the check value from the 32 stored bytes.
  static SysError FromBytes(std::span<const uint8_t> bytes, std::shared_ptr<const MasterKey>* key);

  MasterKey() = default;
  ~MasterKey();
  MasterKey(const MasterKey&) = delete;
  MasterKey& operator=(const MasterKey&) = delete;

  // The AES-256 key of the private keys (HKDF-SHA-256 of the stored bytes).
  std::span<const uint8_t, kSize> EncryptionKey() const { return encryptionKey_; }
  // A value that names this key without giving it away (another HKDF output): a database
  // records the check of the key its rows were encrypted under.
  std::span<const uint8_t, kCheckSize> Check() const { return check_; }

 private:
  std::array<uint8_t, kSize> encryptionKey_{};
  std::array<uint8_t, kCheckSize> check_{};
};

// What a caller needs of the master key.
struct MasterKeyWanted {
  // The key of this check value (MasterKey::Check); empty: any key found.
  std::span<const uint8_t> check;
  // Make and store a key when none is found (only with no check given).
  bool create = false;
};

// The user's master key from the places ZYQSEC_KEYRING allows, the keyring before the file.
// With a check, the first key found that has it (so that a database sealed under a file key
// still opens after a keyring came to hold another); a key found elsewhere but none with the
// check gives NTE_KEYSET_ENTRY_BAD. A key found nowhere gives NTE_BAD_KEY_STATE, unless create
// is asked for: then one is made and stored, in the keyring when it answered (in "auto" mode
// the file when the keyring cannot store it, as on a server where a keyring daemon starts but
// cannot make a keyring), else in the file. Other failures: kErrorServiceNotActive (the keyring
// is required and none answers, or it failed), kErrorCancelled (the user dismissed the
// keyring's prompt), the errors of the file (MasterKeyFile.h).
SysError GetMasterKey(const MasterKeyWanted& wanted, std::shared_ptr<const MasterKey>* key);

// Forgets (and wipes) the keys kept by this process (tests that change the environment).
void ForgetMasterKeysForTesting();

}  // namespace zyq::platform::posix
