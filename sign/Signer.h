// sign::Signer: the signing family of an engine. It makes PKCS#1 and PKCS#7 signatures with a
// user's registered key and owns the signing cache, which lets the next signature for the same
// user skip the registration record (sign/SigningResolution.h).
#pragma once

#include <cstdint>
#include <string>

#include "engine/EngineShared.h"
#include "engine/Outcome.h"
#include "pfx/Registrations.h"
#include "platform/Bstr.h"
#include "platform/Certificates.h"
#include "sign/SigningResolution.h"

namespace zyq::sign {

using platform::Bstr;

// A signature's text (empty on failure) and the signer's certificate (DER), which becomes the
// engine's returned certificate; empty when no signer was found or the key could not sign.
struct Signature {
  std::string text;
  platform::Bytes signer;
};

class Signer {
 public:
  Signer(const EngineShared& shared, pfx::Registrations& registrations)
      : shared_(shared), registrations_(registrations) {}
  Signer(const Signer&) = delete;
  Signer& operator=(const Signer&) = delete;

  // The bare PKCS#1 v1.5 RSA signature of a text, most significant byte first, in upper-case
  // hex or (0x100) Base64.
  Result<Signature> SignPkcs1(const Bstr& strID, const Bstr& strContent, int32_t dwFlags,
                              int32_t dwKeyUsage);
  // A PKCS#7 SignedData message over a text in Base64. The flags choose the certificates
  // carried (the signer's, none, or its chain), an attached or detached content, the text form,
  // the digest and a signing-time attribute.
  Result<Signature> SignPkcs7(const Bstr& strID, const Bstr& strContent, int32_t dwFlags,
                              int32_t dwKeyUsage);

  // Empties the signing cache, so that the next signature reads the record again.
  void ForgetCache() { cache_ = SigningCache{}; }

 private:
  // The steps both signatures start with: the user ID normalised into *id (5005 for an empty
  // ID or text, with no resolution), then the signer resolved for it; keeps the cache the
  // resolution leaves.
  Resolution Resolve(const Bstr& strID, const Bstr& strContent, int32_t dwKeyUsage,
                     std::string* id);

  const EngineShared& shared_;
  pfx::Registrations& registrations_;
  SigningCache cache_;
};

}  // namespace zyq::sign
