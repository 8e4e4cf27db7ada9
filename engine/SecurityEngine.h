// SecurityEngine: the one object behind every front-end. It holds what lasts from one call to
// the next (the outcome of the last operation, the key-generation settings, the returned
// certificate, the registration and export fields, the signing cache, the password bounds) and
// carries every operation as a method.
//
// Result-code protocol of every operation that reports an outcome: set resultCode_ to 0 at the
// start (and capiError_ to 0 when the operation reports system errors), set one code on
// failure (with the system error of a failed system call), return resultCode_ for integer
// results and the empty text for text results on failure.
//
// Text arguments arrive as BSTRs owned by the operation; text results are new BSTRs owned by
// the caller, made from the engine's ANSI text through the process's code page.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "codec/ByteBuffer.h"
#include "enroll/CspSettings.h"
#include "platform/Bstr.h"
#include "platform/HostInfo.h"
#include "platform/Secret.h"
#include "platform/SystemErrors.h"

namespace zyq {

using platform::Bstr;

struct SigningCertificate;  // sign/SigningResolution.h
struct LoadedSigningFile;   // sign/SigningResolution.h

class SecurityEngine {
 public:
  SecurityEngine();
  ~SecurityEngine();
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
  Bstr GetMacAddress();
  Bstr GetDefaultCertPath();
  Bstr GetWindowsSystemName();
  Bstr RegReadHKCU(Bstr strName);
  int32_t RegWriteHKCUInt(Bstr strName, int32_t dw);
  int32_t RegWriteHKCUStr(Bstr strName, Bstr str);
  Bstr SelectLocalFolder(Bstr initPath, Bstr title);

  // --- Digests ---
  Bstr Hash(Bstr strPlainText, int32_t dwFlags);
  Bstr HashFile(Bstr strFileName, int32_t dwFlags);

  // --- Enrollment ---
  Bstr EnumProviders(int32_t dwIndex, int32_t dwFlags);
  int32_t SetKeyBits(int32_t rsaKeyBits);
  int32_t SetProviderName(Bstr strProviderName);
  int32_t SetProviderType(int32_t dwProviderType);
  int32_t SetKeySpec(int32_t dwKeySpec);
  int32_t SetGenKeyFlags(int32_t dwGenKeyFlags);
  Bstr CreatePKCS10(Bstr strCommonName);
  int32_t AcceptPKCS7(Bstr strPkcs7);

  // --- Registration and lifecycle ---
  int32_t RegisterPfx(Bstr strPfxPath, Bstr strPfxName, Bstr strPassword, int32_t registerMode,
                      int32_t dwFlags, int32_t dwKeyUsage);
  int32_t QueryUserInfo(Bstr strID);
  int32_t UpdateRegisterMode(Bstr strID, Bstr strPassword, int32_t registerMode);
  int32_t GetRegisterUserMode() const { return registerMode_; }
  int32_t ExportPfxFromIE(Bstr strSubject, Bstr strPfxPath, Bstr strPassword, int32_t dwFlags,
                          int32_t dwKeyUsage);
  Bstr GetRegisterPfxFilePath();
  Bstr GetRegisterPfxFileName();
  Bstr GetExportedPfxFilePath();
  Bstr GetExportedPfxFileName();
  int32_t ChangePfxPasswd(Bstr strPfxPath, Bstr strPfxName, Bstr strOldPass, Bstr strNewPass,
                          int32_t dwFlags);
  int32_t SelectCertFromIE(Bstr strSubject, int32_t dwFlags, int32_t dwKeyUsage);
  Bstr ExportMobileFromPfx(Bstr strPfxPath, Bstr strPfxName, Bstr strPasswd, int32_t dwFlags,
                           int32_t dwKeyUsage);
  Bstr ExportMobileFromIE(Bstr strSubject, Bstr strPasswd, int32_t dwFlags, int32_t dwKeyUsage);
  int32_t ImportPfxToIE(Bstr strPfxPath, Bstr strPfxName, Bstr strPasswd, int32_t dwFlags,
                        int32_t dwKeyUsage);

  // --- Signing ---
  Bstr SignPkcs1(Bstr strID, Bstr strContent, int32_t dwFlags, int32_t dwKeyUsage);
  Bstr SignPkcs7(Bstr strID, Bstr strContent, int32_t dwFlags, int32_t dwKeyUsage);

  // --- The returned certificate ---
  Bstr GetRtnCert();
  Bstr GetCertSubject();
  Bstr GetCertIssuer();
  Bstr GetCertSerial();
  Bstr GetCertFinger();
  Bstr GetCertNotBefore();
  Bstr GetCertNotAfter();
  Bstr GetCertSubjectCN();

  // The password bounds that the password dialogs settle (a COM object sets 1 and 16).
  int32_t minPasswordLength() const { return minPasswordLength_; }
  int32_t maxPasswordLength() const { return maxPasswordLength_; }

 private:
  // Starts an operation that reports an outcome; resetCapi also clears the system error.
  void BeginOperation(bool resetCapi) {
    resultCode_ = 0;
    if (resetCapi) capiError_ = 0;
  }
  // Records a failure; returns the code for "return Fail(...)" in integer operations.
  int32_t Fail(int32_t code, platform::SysError sysError = 0) {
    resultCode_ = code;
    if (sysError != 0) capiError_ = sysError;
    return code;
  }

  // --- Registration and signing steps shared by several operations ---
  // A PKCS#12 file named by folder, file name and password; when any of them is empty the
  // register dialog asks for all three (pfx/PfxFileInfo.cpp). 0, or the dialog's result code.
  int32_t CompletePfxFileInfo(std::string& folder, std::string& fileName, SecretString& password);
  // Registers the PKCS#12 file that the user signed with (pfx/Registration.cpp).
  int32_t RegisterFromSigning(const std::string& folder, const std::string& fileName,
                              const SecretString& password, int32_t mode);
  // Finds the registered signing certificate of a user ID (sign/SigningResolution.cpp); false
  // with the failure in resultCode_ when there is none to sign with.
  bool ResolveSigningCertificate(const std::string& id, int32_t dwKeyUsage,
                                 SigningCertificate* out);
  // Empties the signing cache, so that the next signature reads the record again.
  void ForgetSigningCache();

  std::recursive_mutex callMutex_;

  // Fields, in the order of the engine's record.
  int32_t resultCode_ = 0;
  platform::SysError capiError_ = 0;
  enroll::CspSettings cspSettings_;
  ByteBuffer returnedCertificate_;
  std::string registeredFolder_;
  std::string registeredFileName_;
  int32_t registerMode_ = -1;
  std::string exportedFolder_;
  std::string exportedFileName_;
  std::string signingUserId_;
  int32_t signingRegisterMode_ = -1;
  std::string signingFolder_;
  std::string signingFileName_;
  SecretString signingPassword_;
  // The signing file as the last signature opened it, used again while the file's bytes and the
  // password stay the same (sign/SigningResolution.cpp).
  std::shared_ptr<LoadedSigningFile> signingLoaded_;
  int32_t minPasswordLength_ = 0;
  int32_t maxPasswordLength_ = 0;
  platform::OsVersion osVersion_;
  std::string exportSourceFolder_;
  std::string exportWrittenPath_;
  std::string exportWrittenName_;

  friend class SecurityEngineTestPeer;
  friend class ComObjectEngineAccess;
};

}  // namespace zyq
