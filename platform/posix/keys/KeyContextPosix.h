// What the key port's own services use of its provider contexts beyond CryptAcquireContext.
#pragma once

#include <memory>

#include "platform/CryptoKeys.h"

namespace zyq::platform::posix {

// A context for the key a link names whose container is looked up at the context's first use
// rather than now: one read of the key tables fewer for a caller that reads one thing of the
// key at once. Every failure is the one AcquireKeyContext and that use would give together
// (a missing container: NTE_BAD_KEYSET from the use).
SysError AcquireLinkedKeyLazily(const KeyProvInfo& link, std::unique_ptr<KeyContext>* context);

}  // namespace zyq::platform::posix
