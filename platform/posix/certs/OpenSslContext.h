// The OpenSSL library context of the certificate substitute: the "default" provider and the
// "legacy" one (RC2, RC4, DES single) for PKCS#12 files written by older systems. Owned here
// so that loading the legacy algorithms changes nothing for other users of OpenSSL in the
// process.
#pragma once

#include <openssl/types.h>

namespace zyq::platform::posix {

// The context (created on first use, kept for the life of the process).
OSSL_LIB_CTX* CertLibraryContext();

// Whether the legacy provider could be loaded into it.
bool LegacyAlgorithmsAvailable();

}  // namespace zyq::platform::posix
