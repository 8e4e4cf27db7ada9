// Base64 and SHA-1 from an implementation independent of the engine's own codecs, the values
// the tests compare the engine's results with: the OpenSSL library on Linux
// (IndependentReferenceOpenSsl.cpp), CryptoAPI on Windows
// (tests/win32/support/IndependentReferenceWin32.cpp).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zyq::test {

// Base64 of the bytes on one line, padded with "=", without line breaks.
std::string Base64Reference(std::span<const uint8_t> bytes);

// The SHA-1 digest of the bytes (20 bytes; empty when the reference fails).
std::vector<uint8_t> Sha1Reference(std::span<const uint8_t> bytes);

}  // namespace zyq::test
