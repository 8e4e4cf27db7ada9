// The master key's item in the desktop's Secret Service (the keyring), through libsecret. The
// library is loaded with dlopen at the first use, so that the component loads and works without
// it (a server); nothing is asked of the session bus unless one is named (DBUS_SESSION_BUS_ADDRESS,
// or the bus socket in $XDG_RUNTIME_DIR): the bus is never started for us.
//
// The item: schema "com.ZYQ.ZYQSecurities.MasterKey", attribute "purpose" = "private-keys",
// label "ZYQSecurities master key", in the default collection; the secret is the key's 32 bytes
// as 64 lower-case hexadecimal digits.
#pragma once

#include "platform/Secret.h"
#include "platform/SystemErrors.h"

namespace zyq::platform::posix {

enum class KeyringAnswer {
  kFound,     // *secret holds the item's secret
  kNotFound,  // the Secret Service answered: no such item
  kAbsent,    // no Secret Service answers (no library, no bus, nobody owns the name)
  kFailed,    // it answered with an error: *error tells which
};

KeyringAnswer LookUpKeyringSecret(SecretString* secret, SysError* error);
// Stores (or replaces) the item's secret.
KeyringAnswer StoreKeyringSecret(const SecretString& secret, SysError* error);

}  // namespace zyq::platform::posix
