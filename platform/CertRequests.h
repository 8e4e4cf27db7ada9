// PKCS#10 certification requests as CryptSignAndEncodeCertificate(X509_CERT_REQUEST_TO_BE_SIGNED)
// makes them, and the names CryptEncodeObject(X509_NAME) gives for them.
#pragma once

#include <string_view>

#include "platform/Certificates.h"
#include "platform/DigestSigner.h"
#include "platform/SystemErrors.h"

namespace zyq::platform {

// An encoded Name of one RDN holding one commonName whose value is a BMPString of the UTF-16
// text (2 bytes per code unit, no terminator).
SysError EncodeCommonNameBmp(std::u16string_view commonName, Bytes* name);

// The DER CertificationRequest: version 0, the subject Name as given, the SubjectPublicKeyInfo
// as given, an empty attribute set, signed with sha1WithRSAEncryption (OID with NULL
// parameters) by `sign`. kCryptEAsn1Badtag / _Corrupt when the name or the key info is not one
// DER element of the right kind; the signer's errors unchanged.
SysError EncodeCertificateRequest(ByteView subjectName, ByteView subjectPublicKeyInfo,
                                  const DigestSigner& sign, Bytes* request);

}  // namespace zyq::platform
