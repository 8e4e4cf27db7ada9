// Writing a store's keyed certificates as a password-protected PKCS#12 file image, the step
// that ExportPfxFromIE and ChangePfxPasswd share.
#pragma once

#include <cstdint>

#include "platform/CertStores.h"
#include "platform/Secret.h"
#include "platform/SystemErrors.h"

namespace zyq {

// Exports every certificate of the store with its private key under the password (ANSI text,
// handed to the platform as wide text; an empty password is the empty wide string, not an
// absent one). A certificate without a usable key, or a key that may not leave its container,
// fails the whole export. Returns 0 with the file's bytes in *pfx; 5070 when the user refused
// access to a user-protected key; 5205 for any other failure. *error receives the platform's
// error (0 on success).
int32_t ExportKeyedPfx(const platform::CertStore& store, const SecretString& password,
                       SecretBytes* pfx, platform::SysError* error);

}  // namespace zyq
