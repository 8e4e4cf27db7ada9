// The digest of bytes as OpenSSL computes it, in upper-case hex: the independent reference for
// the engine's Hash and HashFile.
#pragma once

#include <openssl/evp.h>

#include <string>
#include <string_view>

namespace zyq::test {

inline std::u16string ReferenceDigestHex(const EVP_MD* md, std::string_view bytes) {
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  EVP_Digest(bytes.data(), bytes.size(), out, &n, md, nullptr);
  std::u16string hex;
  const char* digits = "0123456789ABCDEF";
  for (unsigned i = 0; i < n; ++i) {
    hex.push_back(static_cast<char16_t>(digits[out[i] >> 4]));
    hex.push_back(static_cast<char16_t>(digits[out[i] & 15]));
  }
  return hex;
}

}  // namespace zyq::test
