#include "engine/SecurityEngine.h"

#include <array>
#include <cstdio>
#include <utility>

#include "engine/Digests.h"
#include "engine/ResultCodes.h"
#include "engine/ResultMessages.h"
#include "platform/HostInfo.h"

namespace zyq {

SecurityEngine::SecurityEngine() {
  shared_.osVersion = platform::ReadOsVersion();
}

SecurityEngine& SecurityEngine::ProcessEngine() {
  // Constructed on first use (the library's loading makes the first use, see api/flat) and
  // destroyed at exit.
  static SecurityEngine engine;
  return engine;
}

int32_t SecurityEngine::Code(const Outcome& outcome, SystemErrorRule rule) {
  resultCode_ = outcome.code;
  if (rule == kReplace || outcome.systemError != 0) capiError_ = outcome.systemError;
  return resultCode_;
}

Bstr SecurityEngine::Text(Result<std::string> result, SystemErrorRule rule) {
  Code(result.outcome, rule);
  return Bstr::FromAnsi(result.value);
}

int32_t SecurityEngine::Chosen(Result<pfx::ChosenCertificate> result) {
  if (result.value) returned_.Replace(*result.value);
  return Code(result.outcome, kReplace);
}

Bstr SecurityEngine::Signed(Result<sign::Signature> result) {
  returned_.Replace(result.value.signer);
  return Text(Result<std::string>(std::move(result.value.text), result.outcome), kReplace);
}

Bstr SecurityEngine::Field(ReturnedCertificate::Field field) {
  resultCode_ = result::kSuccess;
  return Bstr::FromAnsi(returned_.Read(field));
}

Bstr SecurityEngine::GetVersion() {
  resultCode_ = result::kSuccess;
  std::array<uint16_t, 4> version{};
  platform::SysError error = 0;
  if (!platform::ReadLibraryFileVersion(&version, &error)) {
    resultCode_ = result::kNotSupported;
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
  shared_.minPasswordLength = min;
  shared_.maxPasswordLength = max;
  return 0;
}

Bstr SecurityEngine::Hash(Bstr strPlainText, int32_t dwFlags) {
  return Text(HashText(strPlainText, dwFlags), kKeepUnlessSet);
}

Bstr SecurityEngine::HashFile(Bstr strFileName, int32_t dwFlags) {
  return Text(HashFileContents(strFileName.ToAnsi(), dwFlags), kKeepUnlessSet);
}

int32_t SecurityEngine::ChangePfxPasswd(Bstr strPfxPath, Bstr strPfxName, Bstr strOldPass,
                                        Bstr strNewPass, int32_t dwFlags) {
  // A file whose password changes can no longer be opened with the password the signing cache
  // holds, so the next signature reads the registration record again.
  signer_.ForgetCache();
  return Code(registrations_.ChangePfxPasswd(std::move(strPfxPath), std::move(strPfxName),
                                             std::move(strOldPass), std::move(strNewPass), dwFlags),
              kReplace);
}

}  // namespace zyq
