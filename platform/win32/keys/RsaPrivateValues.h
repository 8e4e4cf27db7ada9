// The values of an RSA private key that follow from its primes and public exponent: the private
// exponent d and the CRT values dP, dQ and qInv of a PRIVATEKEYBLOB. They are checked against the
// primes and computed again where they disagree.
//
// Why: Wine's PFXImportCertStore copies the fields into the blob it imports only while each has
// exactly its blob width, and from the first shorter one on leaves the rest of its buffer
// unwritten: a private exponent with a leading zero byte, frequent where d is reduced mod
// lcm(p-1, q-1) as CryptGenKey's keys have it, is enough. The container's key then holds whatever
// that memory held; exported again (a password change writes a new file) it makes a file whose
// CRT values a later import derives from the wrong exponent, and the key signs wrongly.
#pragma once

#include <cstdint>
#include <span>

#include "platform/SystemErrors.h"

namespace zyq::platform::win32 {

// Checks d, dP, dQ and qInv of an RSA PRIVATEKEYBLOB against p, q and e and writes again those
// that disagree: d as e^-1 mod lcm(p-1, q-1) (a d that satisfies e*d = 1 mod p-1 and q-1 is
// kept as it is), dP = d mod p-1, dQ = d mod q-1, qInv = q^-1 mod p. *repaired (when given)
// tells whether any field was written. NTE_BAD_DATA for a malformed blob, NTE_BAD_KEY when p*q
// is not the modulus or a value has no inverse.
SysError RestoreRsaPrivateValues(std::span<uint8_t> blob, bool* repaired = nullptr);

}  // namespace zyq::platform::win32
