// Shared pieces of the key lifecycle tests: users with RSA keys and certificates issued by a
// test authority (made with the OpenSSL library, independent of the code under test), placed in
// the personal store "MY" through the platform port or written to PKCS#12 files, and the
// `openssl` command as the peer that reads what the engine writes.
#pragma once

#include <openssl/evp.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/SecurityEngine.h"
#include "platform/Bstr.h"
#include "platform/CertStores.h"
#include "tests/platform_certs/OpenSslTestKey.h"

namespace zyq::test {

// A certification authority: a self-signed root with keyCertSign.
struct Authority {
  Authority();
  TestKey key;
  Bytes cert;
};

// A certificate holder: an RSA key and a certificate for it issued by the authority.
struct Holder {
  TestKey key;
  Bytes cert;
};

// Issues a certificate for a fresh key: subject "O=Lifecycle Tests, CN=<cn>", the given key
// usage (empty: no extension), serial and validity (Unix seconds).
Holder Issue(const Authority& ca, const std::string& cn, const std::string& keyUsage, long serial,
             int64_t notBefore = 1262401445, int64_t notAfter = 4102444800);

// Puts the holder's certificate into "MY", linked to its key imported into a key container of
// the Enhanced provider with these key flags (kCryptExportable, kCryptUserProtected).
void AddToPersonalStore(const Holder& holder, uint32_t keyFlags);

// The DER certificates of "MY", in store order.
std::vector<Bytes> PersonalStore();

// What the `openssl pkcs12` command reads from a file with a password.
struct OpenSslPfx {
  bool opened = false;
  std::vector<Bytes> certs;  // in the order the command prints them
  OpenSslPtr<EVP_PKEY> key;  // null when the file holds no key
};
OpenSslPfx ReadPfxWithOpenSsl(const std::string& path, const std::string& password);

// The RSA modulus of a key or of a certificate's public key, big-endian without leading zeros.
Bytes KeyModulus(EVP_PKEY* key);
Bytes CertModulus(const Bytes& cert);

// Text arguments and results of the engine (ASCII texts in the tests).
inline platform::Bstr Text(const std::string& ascii) {
  return platform::Bstr::FromAnsi(ascii);
}
inline std::string Str(const platform::Bstr& text) {
  return text.ToAnsi();
}

// The file's whole content ("" when it cannot be read).
std::string FileBytes(const std::string& path);

}  // namespace zyq::test
