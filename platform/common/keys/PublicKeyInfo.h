// The DER SubjectPublicKeyInfo of an RSA key, built and taken apart without OpenSSL, so that
// the bytes are exactly those CryptExportPublicKeyInfo gives and certificates carry.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/SystemErrors.h"

namespace zyq::platform::common {

// SEQUENCE { SEQUENCE { rsaEncryption, NULL }, BIT STRING (0 unused bits) rsaPublicKey }
// where rsaPublicKey is the DER RSAPublicKey (modulus, public exponent).
std::vector<uint8_t> RsaPublicKeyInfo(std::span<const uint8_t> rsaPublicKey);

// The bytes of the public key bit string of a SubjectPublicKeyInfo (whatever its algorithm),
// without the unused-bits octet. CRYPT_E_ASN1_BADTAG for a wrong tag or trailing bytes,
// CRYPT_E_ASN1_EOD for truncated input, CRYPT_E_ASN1_CORRUPT for a bad length or a bit string
// with unused bits.
SysError PublicKeyBits(std::span<const uint8_t> spki, std::vector<uint8_t>* bits);

}  // namespace zyq::platform::common
