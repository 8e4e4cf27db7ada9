// OpenSSL as an independent reference for the codec tests: it computes what the engine's own
// primitives must give, and never takes part in computing the engine's results.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace zyq::test {

using Bytes = std::vector<unsigned char>;

// Deterministic random bytes.
Bytes RandomBytes(std::size_t n, std::uint32_t seed);

// The digest named "MD5", "SHA1", "SHA256" or "SHA512" of the bytes.
Bytes ReferenceDigest(const char* name, const unsigned char* data, std::size_t n);

// CBC with a zero IV. cipher is "DES-CBC", "DES-EDE3-CBC" or "DES-EDE-CBC" (two keys). With
// padding, PKCS#5 padding is added (encrypt) or checked and removed (decrypt); without it the
// length must be a multiple of 8. Empty result with *ok false on failure.
Bytes ReferenceCbc(const char* cipher, bool encrypt, bool padding, const Bytes& key,
                   const Bytes& data, bool* ok);

// Base64 of the bytes as EVP_EncodeBlock makes it (one line, no terminator).
std::string ReferenceBase64(const unsigned char* data, std::size_t n);
// Base64 with a line break after every 64 characters, as EVP_EncodeUpdate makes it.
std::string ReferenceBase64Lines(const unsigned char* data, std::size_t n);

}  // namespace zyq::test
