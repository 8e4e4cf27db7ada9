// Conversions between the private key forms of the port: PKCS#8 PrivateKeyInfo / PKCS#1
// RSAPrivateKey DER (big-endian integers) and CryptoAPI's PRIVATEKEYBLOB (little-endian fields
// of fixed widths), written with the project's own DER code so that no conversion depends on
// what the system's encoders support.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/Secret.h"
#include "platform/SystemErrors.h"

namespace zyq::platform::win32 {

// PKCS#8 PrivateKeyInfo (rsaEncryption) or a bare RSAPrivateKey -> PRIVATEKEYBLOB with
// aiKeyAlg. NTE_BAD_DATA for bytes that are no RSA private key, NTE_BAD_ALGID for another
// algorithm, NTE_BAD_KEY for a key outside 384..16384 bits or whose public exponent does not
// fit 32 bits.
SysError PrivateKeyDerToBlob(std::span<const uint8_t> der, uint32_t aiKeyAlg, SecretBytes* blob);

// PRIVATEKEYBLOB -> PKCS#8 PrivateKeyInfo DER. NTE_BAD_DATA for a malformed blob.
SysError BlobToPkcs8(std::span<const uint8_t> blob, SecretBytes* pkcs8);

// PUBLICKEYBLOB or PRIVATEKEYBLOB -> DER RSAPublicKey (modulus, exponent).
SysError BlobToRsaPublicKey(std::span<const uint8_t> blob, std::vector<uint8_t>* rsaPublicKey);

}  // namespace zyq::platform::win32
