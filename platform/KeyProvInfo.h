// The link from a certificate to its private key: the fields of CRYPT_KEY_PROV_INFO that the
// engine reads and writes (no provider parameters).
#pragma once

#include <cstdint>
#include <string>

namespace zyq::platform {

struct KeyProvInfo {
  std::string containerName;  // ANSI text
  std::string providerName;   // ANSI text, e.g. "Microsoft Enhanced Cryptographic Provider v1.0"
  uint32_t providerType = 0;  // PROV_RSA_FULL 1, PROV_RSA_AES 24, ...
  uint32_t flags = 0;         // CRYPT_MACHINE_KEYSET etc.; 0 for the user's keys
  uint32_t keySpec = 0;       // AT_KEYEXCHANGE 1 or AT_SIGNATURE 2

  bool operator==(const KeyProvInfo&) const = default;
};

}  // namespace zyq::platform
