// The OpenSSL side of the test keys, for the Linux-only tests that work with the key itself
// (verifying with it, reading its numbers) or with the OpenSSL library's own objects.
#pragma once

#include <openssl/evp.h>

#include "platform/posix/OpenSslPtr.h"
#include "tests/platform_certs/TestCertificates.h"

namespace zyq::test {

using platform::posix::OpenSslPtr;

// The OpenSSL key a test key holds (owned by it); null for an empty key.
EVP_PKEY* OpenSslKey(const TestKey& key);

// The n bytes an i2d_ function allocated at der (freed here); empty when n is not positive.
Bytes TakeDer(unsigned char* der, int n);

}  // namespace zyq::test
