// A small certification authority for demonstrations and end-to-end tests, and the signature
// checks of the party that receives what the component signs. The engine never uses it: it
// stands in for the broker's authority and order server, so that a whole enrollment and
// signing round can run on one machine without a network.
//
// The authority lives in memory only: a fresh RSA key and a self-signed root certificate made
// when it is created. It issues end-entity certificates for PKCS#10 requests and answers with
// a certs-only PKCS#7 SignedData, as an authority's enrollment service does.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/Certificates.h"
#include "platform/SystemErrors.h"

namespace zyq::platform {

class TestAuthority {
 public:
  virtual ~TestAuthority() = default;

  // A new authority "CN=<commonName>" (UTF-8) with a 2048-bit key, valid from an hour ago for
  // ten years. Errors: NTE_FAIL when no key or certificate could be made.
  static SysError Create(std::string_view commonName, std::unique_ptr<TestAuthority>* out);

  // The root certificate, DER.
  virtual const Bytes& certificate() const = 0;

  // Issues a certificate for a DER PKCS#10 request: the request's subject and public key, this
  // serial number, valid from an hour ago for `days` days, key usage digitalSignature,
  // nonRepudiation and keyEncipherment, signed with sha256WithRSAEncryption. *certificate
  // receives it (DER) and *pkcs7 the certs-only PKCS#7 SignedData (DER) holding it and the root.
  // Errors: CRYPT_E_ASN1_BADTAG (not a request), NTE_BAD_SIGNATURE (the request's own signature
  // does not verify), NTE_FAIL.
  virtual SysError Issue(ByteView request, uint64_t serial, int days, Bytes* certificate,
                         Bytes* pkcs7) = 0;
};

// Verifies a DER PKCS#7 SignedData: every signer's signature over the content (the message's
// own, or detachedContent for a message without one) and over its authenticated attributes,
// with the signer's certificate from the message or, when the message carries none,
// signerCertificate (DER, may be empty). The chain to a trusted root is not checked.
// *valid tells the outcome. Errors: CRYPT_E_ASN1_BADTAG when the bytes are not a message.
SysError VerifySignedData(ByteView message, ByteView detachedContent, ByteView signerCertificate,
                          bool* valid);

// Verifies a PKCS#1 v1.5 signature (most significant byte first) of content with the public
// key of a DER certificate; hashAlg is kCalgSha1, kCalgMd5 or kCalgSha256 (CryptoKeys.h).
// *valid tells the outcome. Errors: CRYPT_E_ASN1_BADTAG (not a certificate),
// CRYPT_E_UNKNOWN_ALGO (another hash).
SysError VerifyPkcs1Signature(ByteView certificate, uint32_t hashAlg, ByteView content,
                              ByteView signature, bool* valid);

}  // namespace zyq::platform
