// CryptAcquireCertificatePrivateKey: from a certificate's key link to its key container.
#include "platform/CertStores.h"
#include "platform/CryptoKeys.h"

namespace zyq::platform {

SysError AcquireCertificatePrivateKey(const CertContext& cert, std::unique_ptr<KeyContext>* context,
                                      uint32_t* keySpec) {
  if (cert.empty()) return kEInvalidArg;
  if (!cert.keyLink()) return kCryptENoKeyProperty;
  const KeyProvInfo& link = *cert.keyLink();
  std::unique_ptr<KeyContext> acquired;
  if (SysError err = AcquireKeyContext(link, &acquired)) return err;
  // A spec of 0 in the link means AT_SIGNATURE, as CryptoAPI reads it.
  const uint32_t spec = link.keySpec == 0 ? kAtSignature : link.keySpec;
  KeyPairInfo info;
  if (SysError err = acquired->GetKeyInfo(spec, &info)) return err;
  *context = std::move(acquired);
  *keySpec = spec;
  return kErrorSuccess;
}

}  // namespace zyq::platform
