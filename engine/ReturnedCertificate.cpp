#include "engine/ReturnedCertificate.h"

#include "cert/CertificateWrapper.h"

namespace zyq {

void ReturnedCertificate::Replace(const platform::Bytes& der) {
  der_.Release();
  if (!der.empty()) der_.Append(der.data(), static_cast<int>(der.size()));
}

std::string ReturnedCertificate::Base64() const {
  if (der_.empty()) return std::string();
  ByteBuffer text;
  if (!text.EncodeBase64(der_.data(), der_.length())) return std::string();
  return std::string(text.view());
}

std::string ReturnedCertificate::Read(Field field) const {
  if (der_.empty()) return std::string();
  int length = CertificateWrapper::LeadingElementLength(der_.span());
  if (length == 0) length = der_.length();
  const CertificateWrapper cert(der_.data(), length);
  switch (field) {
    case Field::kSubject:
      return cert.GetSubject();
    case Field::kSubjectCN:
      return cert.GetSubjectCN();
    case Field::kIssuer:
      return cert.GetIssuer();
    case Field::kSerial:
      return cert.GetSerial();
    case Field::kThumbprint:
      return cert.GetThumbprint();
    case Field::kNotBefore:
      return cert.GetNotBefore();
    case Field::kNotAfter:
      return cert.GetNotAfter();
  }
  return std::string();
}

}  // namespace zyq
