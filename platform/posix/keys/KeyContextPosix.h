// What the key port's own services use of its provider contexts beyond CryptAcquireContext.
#pragma once

#include <memory>
#include <vector>

#include "platform/CryptoKeys.h"

namespace zyq::platform::posix {

// A context for the key a link names whose container is looked up at the context's first use
// rather than now: one read of the key tables fewer for a caller that reads one thing of the
// key at once. Every failure is the one AcquireKeyContext and that use would give together
// (a missing container: NTE_BAD_KEYSET from the use).
SysError AcquireLinkedKeyLazily(const KeyProvInfo& link, std::unique_ptr<KeyContext>* context);

// The stored public key of keySpec in a context this port made (RSAPublicKey DER, the bits of
// the SubjectPublicKeyInfo that ExportPublicKeyInfo gives) and the key's flags, from one read,
// with that call's failures.
SysError StoredPublicKey(KeyContext& context, uint32_t keySpec, std::vector<uint8_t>* publicKey,
                         uint32_t* flags);

}  // namespace zyq::platform::posix
