// SecurityEngine: the one object behind every front-end, and a facade. Each operation hands its
// arguments to the family that owns it and records the outcome the family returns:
//
//   enroll::Enrollment    key-generation settings, requests and the authority's answers
//   sign::Signer          PKCS#1 and PKCS#7 signatures, with the signing cache
//   pfx::Registrations    registration records, PKCS#12 files, the personal store
//   host::HostOperations  adapters, folders, the Windows version, the current user's registry
//
// The engine itself keeps only what the families share: the outcome of the last operation (the
// result code and the system error), the returned certificate, and EngineShared (the password
// bounds and the OS facts).
//
// Result-code protocol: an operation that reports an outcome replaces the result code with its
// own; the system error is replaced as well by operations that report system errors
// (kReplace), and otherwise kept unless the outcome brings one (kKeepUnlessSet). Getters
// report nothing. Text arguments arrive as BSTRs owned by the operation; text results are new
// BSTRs owned by the caller, made from the engine's ANSI text through the process's code page.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "engine/EngineShared.h"
#include "engine/Outcome.h"
#include "engine/ReturnedCertificate.h"
#include "enroll/Enrollment.h"
#include "host/HostOperations.h"
#include "pfx/Registrations.h"
#include "platform/Bstr.h"
#include "platform/SystemErrors.h"
#include "sign/Signer.h"

namespace zyq {

using platform::Bstr;

class SecurityEngine {
 public:
  SecurityEngine();
  ~SecurityEngine() = default;
  SecurityEngine(const SecurityEngine&) = delete;
  SecurityEngine& operator=(const SecurityEngine&) = delete;

  // The engine behind the flat exports and the Java natives, made when the library loads.
  static SecurityEngine& ProcessEngine();

  // Calls on one engine never overlap: a front-end holds this lock for the whole of each
  // operation it runs (the flat exports and the Java natives on the process-wide engine, a COM
  // object on its own engine). The lock is recursive because a modal dialog's message loop may
  // dispatch another call on the same thread while an operation waits for the user.
  [[nodiscard]] std::unique_lock<std::recursive_mutex> LockForCall() {
    return std::unique_lock(callMutex_);
  }

  // --- Engine core ---
  Bstr GetVersion();
  int32_t GetErrorCode() const { return resultCode_; }
  Bstr GetErrorMsg() const;
  int32_t GetCapiErrorCode() const { return static_cast<int32_t>(capiError_); }
  Bstr GetCapiErrorMsg() const;
  int32_t PresetPasswdLengthRange(int32_t min, int32_t max);

  // --- Host utilities ---
  Bstr GetMacAddress() { return Text(host_.GetMacAddress(), kKeepUnlessSet); }
  Bstr GetDefaultCertPath() { return Bstr::FromAnsi(host_.GetDefaultCertPath()); }
  Bstr GetWindowsSystemName() { return Bstr::FromAnsi(host_.GetWindowsSystemName()); }
  Bstr RegReadHKCU(Bstr strName) { return Text(host_.RegReadHKCU(strName), kKeepUnlessSet); }
  int32_t RegWriteHKCUInt(Bstr strName, int32_t dw) {
    return Code(host_.RegWriteHKCUInt(strName, dw), kKeepUnlessSet);
  }
  int32_t RegWriteHKCUStr(Bstr strName, Bstr str) {
    return Code(host_.RegWriteHKCUStr(strName, str), kKeepUnlessSet);
  }
  Bstr SelectLocalFolder(Bstr initPath, Bstr title) {
    return Bstr::FromAnsi(host_.SelectLocalFolder(initPath, title));
  }

  // --- Digests ---
  Bstr Hash(Bstr strPlainText, int32_t dwFlags);
  Bstr HashFile(Bstr strFileName, int32_t dwFlags);

  // --- Enrollment ---
  Bstr EnumProviders(int32_t dwIndex, int32_t dwFlags) {
    return Text(enrollment_.EnumProviders(dwIndex, dwFlags), kKeepUnlessSet);
  }
  int32_t SetKeyBits(int32_t bits) { return Code(enrollment_.SetKeyBits(bits), kReplace); }
  int32_t SetProviderName(Bstr name) {
    return Code(enrollment_.SetProviderName(name.ToAnsi()), kReplace);
  }
  int32_t SetProviderType(int32_t type) {
    return Code(enrollment_.SetProviderType(type), kReplace);
  }
  int32_t SetKeySpec(int32_t keySpec) { return Code(enrollment_.SetKeySpec(keySpec), kReplace); }
  int32_t SetGenKeyFlags(int32_t flags) {
    return Code(enrollment_.SetGenKeyFlags(flags), kReplace);
  }
  Bstr CreatePKCS10(Bstr strCommonName) {
    return Text(enrollment_.CreatePKCS10(strCommonName.ToAnsi()), kReplace);
  }
  int32_t AcceptPKCS7(Bstr strPkcs7) {
    return Code(enrollment_.AcceptPKCS7(strPkcs7.ToAnsi()), kReplace);
  }

  // --- Registration and lifecycle ---
  int32_t RegisterPfx(Bstr strPfxPath, Bstr strPfxName, Bstr strPassword, int32_t registerMode,
                      int32_t dwFlags, int32_t dwKeyUsage) {
    return Code(
        registrations_.RegisterPfx(std::move(strPfxPath), std::move(strPfxName),
                                   std::move(strPassword), registerMode, dwFlags, dwKeyUsage),
        kReplace);
  }
  int32_t QueryUserInfo(Bstr strID) {
    return Chosen(registrations_.QueryUserInfo(std::move(strID)));
  }
  int32_t UpdateRegisterMode(Bstr strID, Bstr strPassword, int32_t registerMode) {
    return Code(
        registrations_.UpdateRegisterMode(std::move(strID), std::move(strPassword), registerMode),
        kReplace);
  }
  int32_t GetRegisterUserMode() const { return registrations_.registerMode(); }
  int32_t ExportPfxFromIE(Bstr strSubject, Bstr strPfxPath, Bstr strPassword, int32_t dwFlags,
                          int32_t dwKeyUsage) {
    return Code(registrations_.ExportPfxFromIE(std::move(strSubject), std::move(strPfxPath),
                                               std::move(strPassword), dwFlags, dwKeyUsage),
                kReplace);
  }
  Bstr GetRegisterPfxFilePath() { return Bstr::FromAnsi(registrations_.registeredFolder()); }
  Bstr GetRegisterPfxFileName() { return Bstr::FromAnsi(registrations_.registeredFileName()); }
  Bstr GetExportedPfxFilePath() { return Bstr::FromAnsi(registrations_.exportedFolder()); }
  Bstr GetExportedPfxFileName() { return Bstr::FromAnsi(registrations_.exportedFileName()); }
  int32_t ChangePfxPasswd(Bstr strPfxPath, Bstr strPfxName, Bstr strOldPass, Bstr strNewPass,
                          int32_t dwFlags);
  int32_t SelectCertFromIE(Bstr strSubject, int32_t dwFlags, int32_t dwKeyUsage) {
    return Chosen(registrations_.SelectCertFromIE(std::move(strSubject), dwFlags, dwKeyUsage));
  }
  Bstr ExportMobileFromPfx(Bstr strPfxPath, Bstr strPfxName, Bstr strPasswd, int32_t dwFlags,
                           int32_t dwKeyUsage) {
    return Text(registrations_.ExportMobileFromPfx(std::move(strPfxPath), std::move(strPfxName),
                                                   std::move(strPasswd), dwFlags, dwKeyUsage),
                kReplace);
  }
  Bstr ExportMobileFromIE(Bstr strSubject, Bstr strPasswd, int32_t dwFlags, int32_t dwKeyUsage) {
    return Text(registrations_.ExportMobileFromIE(std::move(strSubject), std::move(strPasswd),
                                                  dwFlags, dwKeyUsage),
                kReplace);
  }
  int32_t ImportPfxToIE(Bstr strPfxPath, Bstr strPfxName, Bstr strPasswd, int32_t dwFlags,
                        int32_t dwKeyUsage) {
    return Chosen(registrations_.ImportPfxToIE(std::move(strPfxPath), std::move(strPfxName),
                                               std::move(strPasswd), dwFlags, dwKeyUsage));
  }

  // --- Signing ---
  Bstr SignPkcs1(Bstr strID, Bstr strContent, int32_t dwFlags, int32_t dwKeyUsage) {
    return Signed(signer_.SignPkcs1(strID, strContent, dwFlags, dwKeyUsage));
  }
  Bstr SignPkcs7(Bstr strID, Bstr strContent, int32_t dwFlags, int32_t dwKeyUsage) {
    return Signed(signer_.SignPkcs7(strID, strContent, dwFlags, dwKeyUsage));
  }

  // --- The returned certificate (reset the result code to 0, except GetRtnCert) ---
  Bstr GetRtnCert() { return Bstr::FromAnsi(returned_.Base64()); }
  Bstr GetCertSubject() { return Field(ReturnedCertificate::Field::kSubject); }
  Bstr GetCertIssuer() { return Field(ReturnedCertificate::Field::kIssuer); }
  Bstr GetCertSerial() { return Field(ReturnedCertificate::Field::kSerial); }
  Bstr GetCertFinger() { return Field(ReturnedCertificate::Field::kThumbprint); }
  Bstr GetCertNotBefore() { return Field(ReturnedCertificate::Field::kNotBefore); }
  Bstr GetCertNotAfter() { return Field(ReturnedCertificate::Field::kNotAfter); }
  Bstr GetCertSubjectCN() { return Field(ReturnedCertificate::Field::kSubjectCN); }

  // The password bounds that the password dialogs settle (a COM object sets 1 and 16).
  int32_t minPasswordLength() const { return shared_.minPasswordLength; }
  int32_t maxPasswordLength() const { return shared_.maxPasswordLength; }

 private:
  // How an outcome's system error is recorded.
  enum SystemErrorRule {
    kReplace,        // the operation reports its system error, 0 when it had none
    kKeepUnlessSet,  // the last call's system error stays unless the outcome brings one
  };

  // Records an outcome for GetErrorCode and GetCapiErrorCode; returns its code.
  int32_t Code(const Outcome& outcome, SystemErrorRule rule);
  // Records a text operation's outcome; the text, empty on failure as the family made it.
  Bstr Text(Result<std::string> result, SystemErrorRule rule);
  // Records the outcome of an operation that may choose a new returned certificate.
  int32_t Chosen(Result<pfx::ChosenCertificate> result);
  // Records a signature's outcome and makes its signer the returned certificate.
  Bstr Signed(Result<sign::Signature> result);
  // One field of the returned certificate; resets the result code.
  Bstr Field(ReturnedCertificate::Field field);

  std::recursive_mutex callMutex_;

  int32_t resultCode_ = 0;
  platform::SysError capiError_ = 0;
  ReturnedCertificate returned_;
  EngineShared shared_;

  enroll::Enrollment enrollment_;
  host::HostOperations host_{shared_};
  pfx::Registrations registrations_{shared_};
  sign::Signer signer_{shared_, registrations_};
};

}  // namespace zyq
