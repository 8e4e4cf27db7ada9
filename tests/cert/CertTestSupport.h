// Certificates for the certificate-layer tests, made independently of the port's decoder with
// controlled names, serial numbers, dates and key usages, and small helpers.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "platform/CertStores.h"
#include "tests/platform_certs/TestCertificates.h"

namespace zyq::test {

inline constexpr const char* kOidCountry = "2.5.4.6";
inline constexpr const char* kOidOrganization = "2.5.4.10";
inline constexpr const char* kOidOrgUnit = "2.5.4.11";
inline constexpr const char* kOidCn = "2.5.4.3";
inline constexpr const char* kOidSurname = "2.5.4.4";
inline constexpr const char* kOidEmail = "1.2.840.113549.1.9.1";
inline constexpr int kPrintable = 0x13;
inline constexpr int kUtf8 = 0x0c;
inline constexpr int kIa5 = 0x16;

// One RSA key for every certificate of the process (making keys is the slow part).
const TestKey& SharedKey();

// A self-signed certificate of the spec, DER.
Bytes Make(const CertSpec& spec);
// A certificate with the common name alone (PrintableString) and the other fields of CertSpec.
CertSpec WithCn(const std::string& cn);
// The context of DER bytes (which must decode).
platform::CertContext Context(const Bytes& der);

// Sets TZ for the life of the object, restoring the previous value afterwards.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone);
  ~ScopedTimeZone();

 private:
  std::optional<std::string> saved_;
};

}  // namespace zyq::test
