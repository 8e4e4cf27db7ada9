// The engine's key-generation settings and provider list: each operation runs on the engine's
// CspSettings record and copies the record's outcome into the engine's result code and system
// error.
#include "engine/SecurityEngine.h"

namespace zyq {

Bstr SecurityEngine::EnumProviders(int32_t dwIndex, int32_t /*dwFlags*/) {
  BeginOperation(false);
  return Bstr::FromAnsi(cspSettings_.ProviderAt(dwIndex));
}

int32_t SecurityEngine::SetKeyBits(int32_t rsaKeyBits) {
  cspSettings_.SetKeyBits(rsaKeyBits);
  cspSettings_.ReportTo(&resultCode_, &capiError_);
  return resultCode_;
}

int32_t SecurityEngine::SetProviderName(Bstr strProviderName) {
  cspSettings_.SetProviderName(strProviderName.ToAnsi());
  cspSettings_.ReportTo(&resultCode_, &capiError_);
  return resultCode_;
}

int32_t SecurityEngine::SetProviderType(int32_t dwProviderType) {
  cspSettings_.SetProviderType(dwProviderType);
  cspSettings_.ReportTo(&resultCode_, &capiError_);
  return resultCode_;
}

int32_t SecurityEngine::SetKeySpec(int32_t dwKeySpec) {
  cspSettings_.SetKeySpec(dwKeySpec);
  cspSettings_.ReportTo(&resultCode_, &capiError_);
  return resultCode_;
}

int32_t SecurityEngine::SetGenKeyFlags(int32_t dwGenKeyFlags) {
  cspSettings_.SetGenKeyFlags(dwGenKeyFlags);
  cspSettings_.ReportTo(&resultCode_, &capiError_);
  return resultCode_;
}

}  // namespace zyq
