// SelectCertFromIE and ExportPfxFromIE: a certificate of the personal store "MY", found by its
// subject and chosen by the caller's flags or by the user, made the returned certificate or
// written with its private key to a password-protected PKCS#12 file.
#include <string>
#include <string_view>

#include "cert/CertStore.h"
#include "cert/CertificateWrapper.h"
#include "engine/ResultCodes.h"
#include "pfx/CertificateChoice.h"
#include "pfx/PasswordArgument.h"
#include "pfx/PfxExport.h"
#include "pfx/RegistrationRecord.h"
#include "pfx/Registrations.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "ui/CertFileLaunchers.h"
#include "ui/DialogResults.h"

namespace zyq::pfx {
namespace {

// ExportPfxFromIE only: remove the certificate from "MY" once the file is written.
constexpr int32_t kRemoveAfterExport = 0x1000;

// Writes the file <folder>/<fileName>, creating the folder with its parents. When the folder is
// empty, cannot be made or the file cannot be written there, the user is asked for another
// folder (CertFolderDialog) until a write succeeds. Returns 0 with the folder used and the
// file's path, or the dialog's code when the user cancelled it (5070) or it could not be
// created (5002).
int32_t WriteExportFile(std::string* folder, const std::string& fileName, const SecretBytes& pfx,
                        std::string* path) {
  platform::FileSystem& files = platform::CurrentFileSystem();
  const std::string_view bytes(reinterpret_cast<const char*>(pfx.bytes().data()),
                               pfx.bytes().size());
  if (!folder->empty() && !files.IsFolder(*folder)) files.CreateFolders(*folder);
  for (;;) {
    if (folder->empty() || !files.IsFolder(*folder)) {
      if (const int code = ui::PromptCertFolder(*folder); code != ui::kDialogOk) return code;
      if (!folder->empty()) files.CreateFolders(*folder);
    }
    if (!folder->empty()) {
      *path = platform::JoinPath(*folder, fileName);
      if (files.WriteFileAtomic(*path, bytes) == platform::kErrorSuccess && files.Exists(*path)) {
        return result::kSuccess;
      }
    }
    folder->clear();
  }
}

}  // namespace

Result<ChosenCertificate> Registrations::SelectCertFromIE(Bstr strSubject, int32_t dwFlags,
                                                          int32_t dwKeyUsage) {
  // The returned certificate is emptied whatever the search finds.
  CertStore personal;
  if (const int32_t code = personal.OpenPersonal()) {
    return {platform::Bytes(), Outcome::Failure(code, personal.lastError())};
  }

  CertContexts matches;
  const int32_t found =
      personal.FindCertificates(&matches, strSubject.ToAnsi(), dwFlags, dwKeyUsage);
  if (matches.empty()) {
    return {platform::Bytes(),
            Outcome::Failure(found != result::kSuccess ? found : result::kCertNotFound,
                             personal.lastError())};
  }
  size_t chosen = 0;
  if (const int32_t code = ChooseMatch(matches, dwFlags, &chosen)) {
    return {platform::Bytes(), Outcome::Failure(code)};
  }
  return ChosenCertificate(matches[chosen].encoded());
}

Outcome Registrations::ExportPfxFromIE(Bstr strSubject, Bstr strPfxPath, Bstr strPassword,
                                       int32_t dwFlags, int32_t dwKeyUsage) {
  exportedFolder_.clear();
  exportedFileName_.clear();
  exportSourceFolder_.clear();
  exportWrittenPath_.clear();
  exportWrittenName_.clear();

  CertStore personal;
  if (const int32_t code = personal.OpenPersonal()) {
    return Outcome::Failure(code, personal.lastError());
  }

  const std::string subject = strSubject.ToAnsi();
  const std::string sourceFolder = strPfxPath.ToAnsi();
  std::string folder = sourceFolder;
  SecretString password = TakePassword(strPassword);

  CertContexts matches;
  const int32_t found = personal.FindCertificates(&matches, subject, dwFlags, dwKeyUsage);
  if (matches.empty()) {
    return Outcome::Failure(found != result::kSuccess ? found : result::kCertNotFound,
                            personal.lastError());
  }
  size_t chosenIndex = 0;
  if (const int32_t code = ChooseMatch(matches, dwFlags, &chosenIndex)) {
    return Outcome::Failure(code);
  }
  const platform::CertContext& chosen = matches[chosenIndex];

  std::string fileName;
  {
    const CertificateWrapper cert(chosen);
    fileName = RegisteredFileName(DeriveUserId(cert.GetSubjectCN()));
  }

  // The key must be able to leave its container before the user is asked for anything: a
  // trial export under the password as given.
  const platform::CertStore single = platform::CertStore::OpenMemory();
  if (const platform::SysError error = single.Add(chosen, platform::kCertStoreAddAlways)) {
    return Outcome::Failure(result::kKeyNotExportable, error);
  }
  SecretBytes pfx;
  platform::SysError exportError = 0;
  if (const int32_t code = ExportKeyedPfx(single, password, &pfx, &exportError)) {
    return Outcome::Failure(code, exportError);
  }

  if (folder.empty() || password.empty()) {
    const int code = ui::PromptExportInfo(folder, fileName, password, shared_.minPasswordLength,
                                          shared_.maxPasswordLength);
    if (code != ui::kDialogOk) return Outcome::Failure(code);
    // The file is protected with the password the user typed.
    if (const int32_t again = ExportKeyedPfx(single, password, &pfx, &exportError)) {
      return Outcome::Failure(again, exportError);
    }
  }

  std::string path;
  if (const int32_t code = WriteExportFile(&folder, fileName, pfx, &path)) {
    return Outcome::Failure(code);
  }

  if (dwFlags & kRemoveAfterExport) {
    // The key container stays: only the certificate leaves the store.
    personal.handle().Delete(chosen);
  }
  exportedFolder_ = folder;
  exportedFileName_ = fileName;
  exportSourceFolder_ = sourceFolder;
  exportWrittenPath_ = path;
  exportWrittenName_ = fileName;
  return Outcome::Success();
}

}  // namespace zyq::pfx
