// PKCS#7 messages as CryptoAPI's message functions make and read them: the SignedData that
// CryptMsgOpenToEncode(CMSG_SIGNED) + CryptMsgUpdate + CMSG_CONTENT_PARAM produce, the
// signingTime value of CryptEncodeObject, and the decoding of a received message with its
// certificate list (CryptMsgOpenToDecode + CMSG_CERT_COUNT_PARAM / CMSG_CERT_PARAM).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Certificates.h"
#include "platform/DigestSigner.h"
#include "platform/SystemErrors.h"

namespace zyq::platform {

inline constexpr const char* kOidSha1 = "1.3.14.3.2.26";             // szOID_OIWSEC_sha1
inline constexpr const char* kOidMd5 = "1.2.840.113549.2.5";         // szOID_RSA_MD5
inline constexpr const char* kOidMd5Rsa = "1.2.840.113549.1.1.4";    // szOID_RSA_MD5RSA
inline constexpr const char* kOidSha1Rsa = "1.2.840.113549.1.1.5";   // szOID_RSA_SHA1RSA
inline constexpr const char* kOidSha256 = "2.16.840.1.101.3.4.2.1";  // szOID_NIST_sha256

// Message types (CMSG_*), as CMSG_TYPE_PARAM reports them.
inline constexpr uint32_t kCmsgData = 1;
inline constexpr uint32_t kCmsgSigned = 2;
inline constexpr uint32_t kCmsgEnveloped = 3;
inline constexpr uint32_t kCmsgSignedAndEnveloped = 4;
inline constexpr uint32_t kCmsgHashed = 5;
inline constexpr uint32_t kCmsgEncrypted = 6;

// The hash algorithm (kCalgSha1, kCalgMd5, kCalgSha256...) that CryptoAPI uses for a digest
// algorithm OID; signature OIDs map to their hash ("1.2.840.113549.1.1.4" md5RSA -> MD5).
// CRYPT_E_UNKNOWN_ALGO for others.
SysError HashAlgorithmOfOid(std::string_view oid, uint32_t* hashAlg);

// CryptEncodeObject(szOID_RSA_signingTime, FILETIME): a UTCTime "YYMMDDHHMMSSZ".
// CRYPT_E_BAD_ENCODE for a time outside 1950..2049.
SysError EncodeSigningTime(FileTime time, Bytes* encoded);

struct SignedDataRequest {
  // The signed bytes.
  ByteView content;
  // CMSG_DETACHED_FLAG: the message leaves the content out (the signature still covers it).
  bool detached = false;
  // The digest algorithm as given; written verbatim with NULL parameters in both
  // digestAlgorithms and the SignerInfo. The hash used is HashAlgorithmOfOid of it.
  std::string digestOid = kOidSha1;
  // The signer's certificate: its issuer and serial identify the signer, and its public key
  // algorithm becomes the digestEncryptionAlgorithm.
  const DecodedCertificate* signer = nullptr;
  // Adds the authenticated attribute signingTime with this time (and with it contentType and
  // messageDigest).
  std::optional<FileTime> signingTime;
  // CMSG_AUTHENTICATED_ATTRIBUTES_FLAG: authenticated attributes (contentType and
  // messageDigest) even without signingTime.
  bool authenticatedAttributes = false;
  // The certificates to carry, DER each, in this order (none: no certificates field).
  std::vector<Bytes> certificates;
};

// Encodes the ContentInfo of a PKCS#7 SignedData (version 1, one signer identified by issuer
// and serial number, data content). When attributes are present they are contentType,
// signingTime (if given) and messageDigest, DER-sorted, and the signature covers them;
// otherwise it covers the content. The signature comes from `sign` (its errors are returned
// unchanged, e.g. kErrorCancelled when the user refuses a protected key). Errors:
// kEInvalidArg (no signer), CRYPT_E_UNKNOWN_ALGO, CRYPT_E_BAD_ENCODE (signing time out of range).
SysError EncodeSignedData(const SignedDataRequest& request, const DigestSigner& sign, Bytes* out);

struct DecodedMessage {
  uint32_t type = 0;                // kCmsgData, kCmsgSigned, ...
  std::vector<Bytes> certificates;  // signed messages: the certificate list, in message order
  Bytes content;                    // data messages and attached signed data: the inner content
  bool hasContent = false;          // false for detached signed data
  uint32_t signerCount = 0;         // signed messages: the number of SignerInfos
};

// Decodes a PKCS#7 ContentInfo (DER or BER). Every content type is recognised; data and signed
// data are decoded in full. Errors: CRYPT_E_ASN1_* when the bytes are not a message,
// CRYPT_E_INVALID_MSG_TYPE for an unknown content type.
SysError DecodeMessage(ByteView encoded, DecodedMessage* out);

// CMSG_CERT_COUNT_PARAM + CMSG_CERT_PARAM: the certificates of a signed message (a degenerate
// certs-only bundle included). The errors of DecodeMessage, and CRYPT_E_INVALID_MSG_TYPE for a
// message that is not signed data.
SysError MessageCertificates(ByteView encoded, std::vector<Bytes>* certificates);

}  // namespace zyq::platform
