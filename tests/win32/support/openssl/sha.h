// Stands in for OpenSSL's sha.h in the Windows builds of the shared certificate tests: SHA-1 by
// CryptoAPI, the independent reference there.
#pragma once

#include <cstddef>

inline constexpr int SHA_DIGEST_LENGTH = 20;

// The SHA-1 digest of n bytes into md (20 bytes); md, or null when CryptoAPI fails.
unsigned char* SHA1(const unsigned char* data, std::size_t n, unsigned char* md);
