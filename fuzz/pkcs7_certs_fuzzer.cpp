// PKCS#7 messages through the port's message decoder and its certificate list (the path that
// the answer of a certificate enrolment takes), which must agree with each other.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "platform/Certificates.h"
#include "platform/CryptMessages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (64u << 10)) return 0;
  const std::span<const uint8_t> encoded(data, size);

  zyq::platform::DecodedMessage message;
  const zyq::platform::SysError decodeError = zyq::platform::DecodeMessage(encoded, &message);
  std::vector<zyq::platform::Bytes> certificates;
  const zyq::platform::SysError listError =
      zyq::platform::MessageCertificates(encoded, &certificates);
  if (listError == 0) {
    if (decodeError != 0) std::abort();
    if (certificates != message.certificates) std::abort();
  } else if (decodeError == 0 && !message.certificates.empty()) {
    std::abort();
  }
  for (const zyq::platform::Bytes& der : certificates) {
    if (der.empty() || der.size() > size) std::abort();
    zyq::platform::DecodedCertificate cert;
    if (zyq::platform::DecodeCertificate(der, &cert) == 0 && cert.encoded != der) std::abort();
  }
  if (message.hasContent && message.content.size() > size) std::abort();
  return 0;
}
