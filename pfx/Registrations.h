// pfx::Registrations: the PKCS#12 family of an engine. It registers users' PKCS#12 files,
// answers for their registration records, changes a file's password, and moves certificates
// with their keys between files and the personal store "MY". It owns what these operations
// leave for the getters: the registered folder, file name and mode, the exported folder and file
// name, and the file that the last export wrote (which a later registration registers where it
// lies).
//
// Every operation returns its outcome; the engine records it. An operation that chooses a
// certificate returns the new returned certificate as well: its DER, or nullopt when the old one
// stays.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/EngineShared.h"
#include "engine/Outcome.h"
#include "platform/Bstr.h"
#include "platform/Certificates.h"
#include "platform/Secret.h"

namespace zyq::pfx {

using platform::Bstr;

// The certificate an operation chose (DER), or nullopt when it leaves the engine's returned
// certificate as it was.
using ChosenCertificate = std::optional<platform::Bytes>;

class Registrations {
 public:
  explicit Registrations(const EngineShared& shared) : shared_(shared) {}
  Registrations(const Registrations&) = delete;
  Registrations& operator=(const Registrations&) = delete;

  Outcome RegisterPfx(Bstr strPfxPath, Bstr strPfxName, Bstr strPassword, int32_t registerMode,
                      int32_t dwFlags, int32_t dwKeyUsage);
  Result<ChosenCertificate> QueryUserInfo(Bstr strID);
  Outcome UpdateRegisterMode(Bstr strID, Bstr strPassword, int32_t registerMode);
  Outcome ExportPfxFromIE(Bstr strSubject, Bstr strPfxPath, Bstr strPassword, int32_t dwFlags,
                          int32_t dwKeyUsage);
  Outcome ChangePfxPasswd(Bstr strPfxPath, Bstr strPfxName, Bstr strOldPass, Bstr strNewPass,
                          int32_t dwFlags);
  Result<ChosenCertificate> SelectCertFromIE(Bstr strSubject, int32_t dwFlags, int32_t dwKeyUsage);
  Result<std::string> ExportMobileFromPfx(Bstr strPfxPath, Bstr strPfxName, Bstr strPasswd,
                                          int32_t dwFlags, int32_t dwKeyUsage);
  Result<std::string> ExportMobileFromIE(Bstr strSubject, Bstr strPasswd, int32_t dwFlags,
                                         int32_t dwKeyUsage);
  Result<ChosenCertificate> ImportPfxToIE(Bstr strPfxPath, Bstr strPfxName, Bstr strPasswd,
                                          int32_t dwFlags, int32_t dwKeyUsage);

  // Registers the PKCS#12 file that a user signed with: the register dialog asks for whatever
  // of folder, file name and password is missing; the file is copied into the default
  // certificate folder when it can be, else the record points at the file itself.
  Outcome RegisterFromSigning(const std::string& folder, const std::string& fileName,
                              const SecretString& password, int32_t mode);

  // What the getters report.
  const std::string& registeredFolder() const { return registeredFolder_; }
  const std::string& registeredFileName() const { return registeredFileName_; }
  int32_t registerMode() const { return registerMode_; }
  const std::string& exportedFolder() const { return exportedFolder_; }
  const std::string& exportedFileName() const { return exportedFileName_; }

 private:
  const EngineShared& shared_;
  std::string registeredFolder_;
  std::string registeredFileName_;
  int32_t registerMode_ = -1;
  std::string exportedFolder_;
  std::string exportedFileName_;
  // The file that the last ExportPfxFromIE wrote: the folder the caller named, the path written
  // and the file name.
  std::string exportSourceFolder_;
  std::string exportWrittenPath_;
  std::string exportWrittenName_;
};

}  // namespace zyq::pfx
