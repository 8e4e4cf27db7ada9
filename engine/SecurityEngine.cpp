#include "engine/SecurityEngine.h"

#include <cstdio>

#include "engine/ResultCodes.h"
#include "engine/ResultMessages.h"

namespace zyq {

SecurityEngine::SecurityEngine() : osVersion_(platform::ReadOsVersion()) {}

SecurityEngine::~SecurityEngine() {
  // The signing cache's password is a SecretString and wipes itself; the returned certificate
  // and the texts are released by their own destructors.
}

SecurityEngine& SecurityEngine::ProcessEngine() {
  // Constructed on first use (the library's loading makes the first use, see api/flat) and
  // destroyed at exit.
  static SecurityEngine engine;
  return engine;
}

Bstr SecurityEngine::GetVersion() {
  resultCode_ = result::kSuccess;
  std::array<uint16_t, 4> version{};
  platform::SysError error = 0;
  if (!platform::ReadLibraryFileVersion(&version, &error)) {
    Fail(result::kNotSupported, error);
    capiError_ = error;
    return Bstr::FromAnsi("");
  }
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", version[0], version[1], version[2], version[3]);
  return Bstr::FromAnsi(text);
}

Bstr SecurityEngine::GetErrorMsg() const {
  return Bstr::FromAnsi(ResultMessage(resultCode_));
}

Bstr SecurityEngine::GetCapiErrorMsg() const {
  if (capiError_ == 0) return Bstr::FromAnsi(ResultMessage(0));
  char code[16];
  std::snprintf(code, sizeof code, "(0x%08X)", static_cast<unsigned>(capiError_));
  return Bstr::FromAnsi(platform::SystemMessage(capiError_) + code);
}

int32_t SecurityEngine::PresetPasswdLengthRange(int32_t min, int32_t max) {
  minPasswordLength_ = min;
  maxPasswordLength_ = max;
  return 0;
}

}  // namespace zyq
