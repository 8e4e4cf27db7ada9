// Certificate bytes through the engine's certificate wrapper and every text it gives, and the
// port's certificate and name decoders on the same bytes taken as a certificate and as a raw
// encoded Name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "cert/CertificateWrapper.h"
#include "platform/Certificates.h"

namespace {

bool IsUpperHex(const std::string& text) {
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (64u << 10)) return 0;
  const std::span<const uint8_t> bytes(data, size);

  zyq::CertificateWrapper wrapper(data, static_cast<int>(size));
  std::string texts[] = {wrapper.GetSubject(),       wrapper.GetIssuer(),
                         wrapper.GetSubjectCN(),     wrapper.GetIssuerCN(),
                         wrapper.GetSerial(),        wrapper.GetThumbprint(),
                         wrapper.GetNotBefore(),     wrapper.GetNotAfter(),
                         wrapper.GetNotBeforeDate(), wrapper.GetNotAfterDate()};
  if (wrapper.valid()) {
    if (wrapper.lastError() != 0) std::abort();
    if (texts[5].size() != 40 || !IsUpperHex(texts[5])) std::abort();
    if (!IsUpperHex(texts[4]) || texts[4].size() % 2 != 0) std::abort();
    if (!texts[6].empty() && texts[6].size() != 14) std::abort();
    if (!texts[8].empty() && texts[8].size() != 10) std::abort();
  } else {
    for (const std::string& text : texts) {
      if (!text.empty()) std::abort();
    }
    if (wrapper.GetKeyUsage() != 0) std::abort();
  }
  const int leading = zyq::CertificateWrapper::LeadingElementLength(bytes);
  if (leading < 0 || static_cast<size_t>(leading) > size) std::abort();
  // A wrapper that took the bytes holds exactly one element, so it spans all of them.
  if (wrapper.valid() && static_cast<size_t>(leading) != size) std::abort();

  zyq::platform::DecodedCertificate decoded;
  const zyq::platform::SysError error = zyq::platform::DecodeCertificate(bytes, &decoded);
  if ((error == 0) != wrapper.valid()) std::abort();
  if (error == 0) {
    zyq::platform::Bytes usage;
    zyq::platform::IntendedKeyUsage(decoded, &usage);
    zyq::platform::GetBasicConstraints(decoded);
    zyq::platform::SameIssuerAndSerial(decoded, decoded);
  }

  // The same bytes as an encoded Name, with and without a caller's buffer size.
  std::string name;
  zyq::platform::NameToX500Text(bytes, &name);
  const size_t full = name.size();
  if (full > 0) {
    std::string limited;
    zyq::platform::NameToX500Text(bytes, &limited, full);  // one byte short of the NUL
    if (!limited.empty()) std::abort();
    zyq::platform::NameToX500Text(bytes, &limited, full + 1);
    if (limited != name) std::abort();
  }
  std::string cn;
  zyq::platform::NameAttributeText(bytes, zyq::platform::kOidCommonName, &cn);
  return 0;
}
