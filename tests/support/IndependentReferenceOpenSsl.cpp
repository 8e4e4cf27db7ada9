#include <openssl/evp.h>
#include <openssl/sha.h>

#include "tests/support/IndependentReference.h"

namespace zyq::test {

std::string Base64Reference(std::span<const uint8_t> bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                static_cast<int>(bytes.size()));
  text.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return text;
}

std::vector<uint8_t> Sha1Reference(std::span<const uint8_t> bytes) {
  std::vector<uint8_t> digest(SHA_DIGEST_LENGTH);
  if (SHA1(bytes.data(), bytes.size(), digest.data()) == nullptr) return {};
  return digest;
}

}  // namespace zyq::test
