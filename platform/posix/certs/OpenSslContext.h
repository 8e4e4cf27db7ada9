// The OpenSSL library context of the certificate substitute: the "default" provider and the
// "legacy" one (RC2, RC4, DES single) for PKCS#12 files written by older systems. Owned here
// so that loading the legacy algorithms changes nothing for other users of OpenSSL in the
// process.
#pragma once

#include <openssl/types.h>

#include <memory>

namespace zyq::platform::posix {

// The context (created on first use, kept for the life of the process).
OSSL_LIB_CTX* CertLibraryContext();

// Whether the legacy provider could be loaded into it.
bool LegacyAlgorithmsAvailable();

// RAII owners for the OpenSSL objects used by the certificate code.
template <typename T, void (*Free)(T*)>
struct OpenSslDeleter {
  void operator()(T* p) const { Free(p); }
};
template <typename T, void (*Free)(T*)>
using OpenSslPtr = std::unique_ptr<T, OpenSslDeleter<T, Free>>;

}  // namespace zyq::platform::posix
