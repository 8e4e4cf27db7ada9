// What the PKCS#12 writer takes from the system it runs on: random bytes for its salts and
// triple-DES in CBC mode. Each port implements these (OpenSSL on Linux, CryptoAPI on Windows);
// everything else of the file is the shared encoder's.
#pragma once

#include <cstddef>

#include "platform/Certificates.h"

namespace zyq::platform::common {

// n bytes from the system's random generator; false when it fails.
bool RandomBytes(size_t n, Bytes* out);

// DES-EDE3-CBC with PKCS#5 padding under a 24-byte key and an 8-byte IV; false on failure or
// for other sizes.
bool EncryptTripleDesCbc(ByteView key, ByteView iv, ByteView plain, Bytes* cipher);

}  // namespace zyq::platform::common
