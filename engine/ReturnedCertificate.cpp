// The returned certificate's accessors: the DER certificate that the latest certificate
// operation chose, whole in Base64 or one field of it as text. They never report an error: no
// returned certificate, or bytes that are not a certificate, give the empty text.
#include <string>

#include "cert/CertificateWrapper.h"
#include "engine/SecurityEngine.h"

namespace zyq {
namespace {

// One text of the returned certificate. When it holds several DER certificates one after the
// other (a search that kept more than one), the first of them is read.
std::string ReturnedField(const ByteBuffer& returned,
                          std::string (CertificateWrapper::*getter)() const) {
  if (returned.empty()) return std::string();
  int length = CertificateWrapper::LeadingElementLength(returned.span());
  if (length == 0) length = returned.length();
  const CertificateWrapper cert(returned.data(), length);
  return (cert.*getter)();
}

}  // namespace

Bstr SecurityEngine::GetRtnCert() {
  if (returnedCertificate_.empty()) return Bstr::FromAnsi("");
  ByteBuffer text;
  if (!text.EncodeBase64(returnedCertificate_.data(), returnedCertificate_.length())) {
    return Bstr::FromAnsi("");
  }
  return Bstr::FromAnsi(text.view());
}

Bstr SecurityEngine::GetCertSubject() {
  BeginOperation(false);
  return Bstr::FromAnsi(ReturnedField(returnedCertificate_, &CertificateWrapper::GetSubject));
}

Bstr SecurityEngine::GetCertSubjectCN() {
  BeginOperation(false);
  return Bstr::FromAnsi(ReturnedField(returnedCertificate_, &CertificateWrapper::GetSubjectCN));
}

Bstr SecurityEngine::GetCertIssuer() {
  BeginOperation(false);
  return Bstr::FromAnsi(ReturnedField(returnedCertificate_, &CertificateWrapper::GetIssuer));
}

Bstr SecurityEngine::GetCertSerial() {
  BeginOperation(false);
  return Bstr::FromAnsi(ReturnedField(returnedCertificate_, &CertificateWrapper::GetSerial));
}

Bstr SecurityEngine::GetCertFinger() {
  BeginOperation(false);
  return Bstr::FromAnsi(ReturnedField(returnedCertificate_, &CertificateWrapper::GetThumbprint));
}

Bstr SecurityEngine::GetCertNotBefore() {
  BeginOperation(false);
  return Bstr::FromAnsi(ReturnedField(returnedCertificate_, &CertificateWrapper::GetNotBefore));
}

Bstr SecurityEngine::GetCertNotAfter() {
  BeginOperation(false);
  return Bstr::FromAnsi(ReturnedField(returnedCertificate_, &CertificateWrapper::GetNotAfter));
}

}  // namespace zyq
