// The first half of enrollment: a fresh RSA key pair in a new key container and the PKCS#10
// request for it, which the caller sends to the certification authority.
#pragma once

#include <string>
#include <string_view>

#include "enroll/CspSettings.h"
#include "enroll/EnrollmentPort.h"

namespace zyq::enroll {

// Makes a key container named by a new upper-case UUID in the provider of the settings,
// generates the key pair there (key spec, key bits; the exportable and user-protected flags only
// for providers whose name begins with "Microsoft"), and returns the Base64 text (one line, no
// armour) of the DER request: subject = one commonName as a BMPString of the text (ANSI in the
// process's code page, read as UTF-16 through it), the new public key, no attributes, signed
// sha1WithRSAEncryption with the new private key.
//
// The outcome goes to settings: 0; 5005 empty common name; 5046 no provider chosen; 5203 the
// container cannot be created (with the system error); 5302 the UUID, the key, the subject, the
// public key or the signature cannot be made (with the system error); 5002 the Base64 text
// cannot be made. The text is empty on failure. The container is kept in every case: a key
// generated for a failed request stays where it was made.
std::string CreatePkcs10Request(CspSettings& settings, std::string_view commonName,
                                EnrollmentPort& port = EnrollmentPort::Default());

}  // namespace zyq::enroll
