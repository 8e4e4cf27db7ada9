// The mobile key record: an RSA private key with its certificate and a few of the certificate's
// fields, packed for a trading program on a mobile device, encrypted under the user's password
// and carried as one line of Base64 text.
//
// Layout (every integer and number most significant byte first; n = modulus bits):
//   "QPKM" | n (4) | public exponent (4) | modulus (n/8) | p, q, d mod (p-1), d mod (q-1),
//   q^-1 mod p (n/16 each) | d (n/8) | L1 (4) | subject CN (L1, ANSI) | L2 (4) | serial (L2) |
//   SHA-1 thumbprint (20) | NotBefore (14, "YYYYMMDDhhmmss" local) | NotAfter (14) |
//   L3 (4) | certificate DER (L3)
// 72 + 9n/16 + L1 + L2 + L3 bytes. The validity texts are empty (the fields after them move up)
// only when the time has no local form.
//
// Protection: triple DES (DES-EDE3) CBC, zero IV, PKCS#5 padding, under the 24-byte key
// SHA-1(password's ANSI bytes) || "QPKM".
#pragma once

#include <cstdint>
#include <string>

#include "platform/CertStores.h"
#include "platform/Secret.h"

namespace zyq {

inline constexpr char kMobileRecordMagic[4] = {'Q', 'P', 'K', 'M'};

// The plain record for the certificate and its key, given as a PRIVATEKEYBLOB (little-endian,
// as CryptExportKey gives it). False when the blob is not a complete RSA private key blob.
bool BuildMobileRecord(const platform::CertContext& cert, const SecretBytes& privateKeyBlob,
                       SecretBytes* record);

// Encrypts a record under the password and encodes it as Base64 (no line breaks). Returns 0
// with the text, 5035 when the password's digest fails, 5063 when the encryption or the
// encoding fails or gives no text.
int32_t ProtectMobileRecord(const SecretBytes& record, const SecretString& password,
                            std::string* base64);

// Both steps: 0 with the text, 5063 for no certificate or an unusable blob, or the codes of
// ProtectMobileRecord.
int32_t MakeMobileRecordText(const platform::CertContext& cert, const SecretBytes& privateKeyBlob,
                             const SecretString& password, std::string* base64);

}  // namespace zyq
