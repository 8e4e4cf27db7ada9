#include "platform/posix/certs/Pkcs12Support.h"

#include <openssl/err.h>

#include "platform/Text.h"
#include "platform/common/certs/Der.h"

namespace zyq::platform::posix::pkcs12 {

namespace der = common::der;

SysError Parse(ByteView blob, OpenSslPtr<PKCS12>* out) {
  // Our own reader first, for a precise error and a size limit; then OpenSSL's decoder.
  der::Element pfx, version;
  if (SysError err = der::ParseSingle(blob, der::kSequence, &pfx, true)) return err;
  der::Reader r(pfx.content, true);
  if (SysError err = r.Expect(der::kInteger, &version)) return err;
  const unsigned char* p = blob.data();
  PKCS12* file = d2i_PKCS12(nullptr, &p, static_cast<long>(blob.size()));
  ERR_clear_error();
  if (file == nullptr) return kCryptEAsn1Corrupt;
  out->reset(file);
  // The authenticated safe must decode too.
  const OpenSslPtr<STACK_OF(PKCS7)> safes(PKCS12_unpack_authsafes(file));
  ERR_clear_error();
  if (!safes) {
    out->reset();
    return kCryptEAsn1Corrupt;
  }
  return kErrorSuccess;
}

Password::Password(PfxPassword password) {
  if (!password) return;
  present_ = true;
  utf8_ = SecretString(WideToUtf8(*password));
}

}  // namespace zyq::platform::posix::pkcs12
