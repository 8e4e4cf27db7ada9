// ChangePfxPasswd: re-protects a PKCS#12 file with a new password. The file is opened with the
// old password, its keyed certificates are exported again under the new one, and the new bytes
// replace the old file atomically (a temporary file in the same folder renamed over it), so that
// a failure or a killed process leaves the old file whole. When the file is the one registered
// for its user, the registration follows the new password.
#include <string>

#include "cert/CertStore.h"
#include "cert/CertificateWrapper.h"
#include "engine/ResultCodes.h"
#include "pfx/KeyedCertificates.h"
#include "pfx/PasswordArgument.h"
#include "pfx/PfxExport.h"
#include "pfx/PfxFileInfo.h"
#include "pfx/RegistrationRecord.h"
#include "pfx/Registrations.h"
#include "platform/CertStores.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "ui/CertFileLaunchers.h"
#include "ui/DialogResults.h"

namespace zyq::pfx {
namespace {

// _mbsicmp: equal ignoring the letter case of single-byte characters of the ANSI code page.
bool SamePathIgnoringCase(std::string_view a, std::string_view b) {
  return platform::AnsiUpperCase(a) == platform::AnsiUpperCase(b);
}

}  // namespace

Outcome Registrations::ChangePfxPasswd(Bstr strPfxPath, Bstr strPfxName, Bstr strOldPass,
                                       Bstr strNewPass, int32_t dwFlags) {
  std::string folder = strPfxPath.ToAnsi();
  std::string fileName = strPfxName.ToAnsi();
  SecretString oldPassword = TakePassword(strOldPass);
  SecretString newPassword = TakePassword(strNewPass);

  if (folder.empty() || fileName.empty() || oldPassword.empty() || newPassword.empty()) {
    const int code = ui::PromptChangePassword(folder, fileName, oldPassword, newPassword,
                                              shared_.minPasswordLength, shared_.maxPasswordLength);
    if (code != ui::kDialogOk) return Outcome::Failure(code);
  }
  CertStore file;
  std::string path;
  if (Outcome loaded = LoadPfxFile(folder, fileName, oldPassword, dwFlags, file, &path);
      !loaded.ok()) {
    return loaded;
  }
  platform::FileSystem& files = platform::CurrentFileSystem();
  CertStore keyed;
  if (const int32_t code = keyed.OpenMemory()) return Outcome::Failure(code, keyed.lastError());

  // Only certificates with a private key go into the new file; authority certificates stay out.
  // The last failure on the way is reported when no certificate makes it.
  int32_t code = result::kSuccess;
  platform::SysError lastError = 0;
  int count = 0;
  std::string id;
  ForEachKeyedCertificate(
      file.handle(),
      [&](const platform::CertContext& cert) {
        {
          const CertificateWrapper wrapper(cert);
          id = DeriveUserId(wrapper.GetSubjectCN());
        }
        if (const platform::SysError error =
                keyed.handle().Add(cert, platform::kCertStoreAddAlways)) {
          code = result::kPersonalStoreDenied;
          lastError = error;
          return false;
        }
        ++count;
        code = result::kSuccess;
        return true;
      },
      [&](platform::SysError error) {
        code = result::kPrivateKeyMissing;
        lastError = error;
      });
  if (count == 0) {
    return Outcome::Failure(code != result::kSuccess ? code : result::kPrivateKeyMissing,
                            lastError);
  }

  SecretBytes pfx;
  platform::SysError exportError = 0;
  if (const int32_t failed = ExportKeyedPfx(keyed.handle(), newPassword, &pfx, &exportError)) {
    return Outcome::Failure(failed, exportError);
  }
  const std::string_view bytes(reinterpret_cast<const char*>(pfx.bytes().data()),
                               pfx.bytes().size());

  // The registered file of this user follows the new password: the record is read before the
  // file changes, so that a record that cannot be read changes nothing.
  RegistrationRecord record;
  platform::SysError unreadable = 0;
  const int32_t recordCode = ReadRegistrationRecord(id, &record, &unreadable);
  if (unreadable != platform::kErrorSuccess) {
    return Outcome::Failure(result::kAccessDenied, unreadable);
  }
  const bool registered =
      recordCode == result::kSuccess && record.mode > 0 && SamePathIgnoringCase(record.path, path);
  // The old bytes, to put back when the record cannot follow.
  std::string oldBytes;
  if (registered) {
    if (const platform::SysError error = files.ReadFile(path, &oldBytes)) {
      return Outcome::Failure(result::kFileNotFound, error);
    }
  }
  if (const platform::SysError error = files.WriteFileAtomic(path, bytes)) {
    return Outcome::Failure(result::kPfxWriteFailed, error);
  }
  if (!registered) return Outcome::Success();
  const Outcome again = RegisterPfx(Bstr::FromAnsi(folder), Bstr::FromAnsi(fileName),
                                    Bstr::FromAnsi(newPassword.str()), record.mode, 0, 0);
  if (!again.ok()) {
    // The file and its record must agree: the file goes back to the old password.
    files.WriteFileAtomic(path, oldBytes);
  }
  return again;
}

}  // namespace zyq::pfx
