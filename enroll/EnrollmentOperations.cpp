// The engine's enrollment operations: the PKCS#10 request and the acceptance of the authority's
// answer. Both report through the engine's CspSettings record, whose outcome is then copied into
// the engine's result code and system error.
#include "engine/SecurityEngine.h"
#include "enroll/RequestCreation.h"
#include "enroll/ResponseAcceptance.h"

namespace zyq {

Bstr SecurityEngine::CreatePKCS10(Bstr strCommonName) {
  const std::string request = enroll::CreatePkcs10Request(cspSettings_, strCommonName.ToAnsi());
  cspSettings_.ReportTo(&resultCode_, &capiError_);
  return Bstr::FromAnsi(request);
}

int32_t SecurityEngine::AcceptPKCS7(Bstr strPkcs7) {
  enroll::AcceptPkcs7Response(cspSettings_, strPkcs7.ToAnsi());
  cspSettings_.ReportTo(&resultCode_, &capiError_);
  return resultCode_;
}

}  // namespace zyq
