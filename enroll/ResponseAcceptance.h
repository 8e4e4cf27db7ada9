// The second half of enrollment: installing the certification authority's answer to a request
// made by CreatePkcs10Request.
#pragma once

#include <cstdint>
#include <string_view>

#include "enroll/CspSettings.h"
#include "enroll/EnrollmentPort.h"
#include "platform/CertStores.h"

namespace zyq::enroll {

// Takes the Base64 text (armour lines allowed) of a PKCS#7 message or of one bare DER
// certificate. Every authority certificate of a message goes to the user's "ROOT" store
// (self-issued) or "CA" store (certificate-signing key usage), replacing an equal one and
// keeping its properties; the last other certificate is the issued one: it is linked to the key
// container of an installed "Microsoft" RSA provider (type 1) that holds its public key, and
// added to "MY" (always added, also when a copy is there already).
//
// Returns the result code, also recorded in settings with the system error: 0; 5005 empty
// text; 5008 not Base64; 5040 the message's certificate list cannot be read, or the issued
// certificate does not decode (with the system error); 5060 no issued certificate in the
// answer; 5204 no container holds its public key; 5206 the key link cannot be set or the
// certificate cannot be added to "MY"; 5203 the container cannot be opened again; 5201 "MY"
// cannot be opened (these three with the system error). Authority certificates installed before
// a failure stay installed.
int32_t AcceptPkcs7Response(CspSettings& settings, std::string_view base64,
                            EnrollmentPort& port = EnrollmentPort::Default());

// Installs an authority certificate as AcceptPkcs7Response does; false for an end-entity
// certificate (neither self-issued nor allowed to sign certificates), which is left alone.
// Failures to open a store or to add are not reported: the certificate still counts as taken.
bool InstallAuthorityCertificate(const platform::CertContext& cert,
                                 EnrollmentPort& port = EnrollmentPort::Default());

}  // namespace zyq::enroll
