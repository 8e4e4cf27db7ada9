// X.509 certificates as the platform's certificate functions present them: a certificate decoded
// from its DER encoding into the fields of CERT_INFO, and the text forms that CertNameToStrA,
// CertGetNameStringA and CertGetIntendedKeyUsage give for it.
//
// Every decoder here takes untrusted bytes: malformed, truncated or oversized input yields an
// ASN.1 error code (CRYPT_E_ASN1_BADTAG, _EOD, _CORRUPT, _LARGE) and never reads out of bounds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SystemErrors.h"

namespace zyq::platform {

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

// A point in time as FILETIME: 100-nanosecond intervals since 1601-01-01 00:00:00 UTC.
using FileTime = uint64_t;

// The current time as a FILETIME.
FileTime CurrentFileTime();

// Seconds since 1970-01-01 UTC <-> FILETIME (negative Unix times are allowed down to 1601).
FileTime FileTimeFromUnixSeconds(int64_t seconds);
int64_t UnixSecondsFromFileTime(FileTime time);

// The largest encoding any decoder of this port accepts (certificates, names, messages,
// PKCS#12 files); a longer input fails with CRYPT_E_ASN1_LARGE.
inline constexpr size_t kMaxEncodedSize = 16u << 20;

inline constexpr const char* kOidCommonName = "2.5.4.3";
inline constexpr const char* kOidRsaEncryption = "1.2.840.113549.1.1.1";

// Bits of the first key-usage byte (CERT_*_KEY_USAGE).
inline constexpr uint8_t kKeyUsageDigitalSignature = 0x80;
inline constexpr uint8_t kKeyUsageNonRepudiation = 0x40;
inline constexpr uint8_t kKeyUsageKeyEncipherment = 0x20;
inline constexpr uint8_t kKeyUsageDataEncipherment = 0x10;
inline constexpr uint8_t kKeyUsageKeyAgreement = 0x08;
inline constexpr uint8_t kKeyUsageKeyCertSign = 0x04;
inline constexpr uint8_t kKeyUsageCrlSign = 0x02;

struct CertExtension {
  std::string oid;  // dotted
  bool critical = false;
  Bytes value;  // the content of the extnValue OCTET STRING
};

// One decoded certificate. The byte fields hold encodings exactly as they stand in the
// certificate, so that they can be compared and copied into other structures unchanged.
struct DecodedCertificate {
  Bytes encoded;         // the whole certificate
  uint32_t version = 0;  // CERT_V1 0, CERT_V2 1, CERT_V3 2
  // The serial number's INTEGER content bytes least significant first, as CERT_INFO keeps
  // them (a leading 00 byte of the encoding stays, as the last byte here).
  Bytes serialNumber;
  Bytes issuer;   // encoded Name
  Bytes subject;  // encoded Name
  FileTime notBefore = 0;
  FileTime notAfter = 0;
  std::string signatureAlgorithm;  // dotted OID of the outer signature algorithm
  Bytes subjectPublicKeyInfo;      // encoded SubjectPublicKeyInfo
  Bytes publicKeyAlgorithmId;      // encoded AlgorithmIdentifier inside it
  std::string publicKeyAlgorithm;  // its dotted OID
  Bytes publicKey;                 // the subjectPublicKey BIT STRING bytes (no unused-bits octet)
  Bytes rsaModulus;                // RSA keys: modulus big-endian without leading zeros
  Bytes rsaPublicExponent;         // RSA keys: exponent big-endian without leading zeros
  std::vector<CertExtension> extensions;
  std::array<uint8_t, 20> sha1Thumbprint{};  // SHA-1 of `encoded`

  // Serial number most significant byte first (the INTEGER content bytes).
  Bytes SerialBigEndian() const { return Bytes(serialNumber.rbegin(), serialNumber.rend()); }
  // The extension with this OID, or null.
  const CertExtension* FindExtension(std::string_view oid) const;
};

// CertCreateCertificateContext: decodes a DER certificate. Trailing bytes after the
// certificate and inputs over kMaxEncodedSize are rejected.
SysError DecodeCertificate(ByteView der, DecodedCertificate* out);

// CertNameToStrA with CERT_X500_NAME_STR | CERT_NAME_STR_NO_QUOTING_FLAG over an encoded Name:
// RDNs in encoded order joined by ", ", the attributes of a multi-valued RDN joined by " + ",
// each as KEY=value with CryptoAPI's attribute keys ("OID." and the dotted OID for others),
// values unquoted and converted to the ANSI code page. bufferChars, when not 0, is the size of
// the caller's buffer in bytes including the NUL: a text that does not fit gives "" (as the A
// function does). An empty name gives "". A name that does not decode gives "" and the error.
SysError NameToX500Text(ByteView encodedName, std::string* text, size_t bufferChars = 0);

// CertGetNameStringA with CERT_NAME_ATTR_TYPE: the value of the first attribute with this OID
// in encoded order, in ANSI; "" when there is none. bufferChars as above.
SysError NameAttributeText(ByteView encodedName, std::string_view oid, std::string* text,
                           size_t bufferChars = 0);

// CertGetIntendedKeyUsage: the content bytes of the key-usage extension (2.5.29.15). Returns
// false when the certificate has none (or it does not decode: *error then holds why).
bool IntendedKeyUsage(const DecodedCertificate& cert, Bytes* usage, SysError* error = nullptr);

// The first key-usage byte, 0 when the certificate has no key-usage extension.
uint8_t KeyUsageByte(const DecodedCertificate& cert);

// basicConstraints (2.5.29.19): present, cA and the path length limit (-1: none).
struct BasicConstraints {
  bool present = false;
  bool isCa = false;
  int pathLength = -1;
};
BasicConstraints GetBasicConstraints(const DecodedCertificate& cert);

// Compares certificates the way the stores recognise "the same certificate": equal issuer
// name encodings and equal serial numbers.
bool SameIssuerAndSerial(const DecodedCertificate& a, const DecodedCertificate& b);

}  // namespace zyq::platform
