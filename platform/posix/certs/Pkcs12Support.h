// Shared pieces of PKCS#12 reading and writing: parsing the outer structure with ASN.1 error
// codes, and the password in the form OpenSSL takes (UTF-8, or null for the absent password),
// wiped after use.
#pragma once

#include <openssl/pkcs12.h>

#include "platform/Pkcs12.h"
#include "platform/Secret.h"
#include "platform/posix/OpenSslPtr.h"

namespace zyq::platform::posix::pkcs12 {

// Decodes a PFX: CRYPT_E_ASN1_* when the bytes are not one.
SysError Parse(ByteView blob, OpenSslPtr<PKCS12>* out);

class Password {
 public:
  explicit Password(PfxPassword password);
  // Null for the absent password.
  const char* data() const { return present_ ? utf8_.c_str() : nullptr; }
  int length() const { return present_ ? static_cast<int>(utf8_.size()) : 0; }

 private:
  bool present_ = false;
  SecretString utf8_;
};

}  // namespace zyq::platform::posix::pkcs12
