// ChangePfxPasswd: re-protects a PKCS#12 file with a new password. The file is opened with the
// old password, its keyed certificates are exported again under the new one, and the new bytes
// replace the old file atomically (a temporary file in the same folder renamed over it), so that
// a failure or a killed process leaves the old file whole. When the file is the one registered
// for its user, the registration follows the new password.
#include <memory>
#include <string>

#include "cert/CertStore.h"
#include "cert/CertificateWrapper.h"
#include "engine/ResultCodes.h"
#include "engine/SecurityEngine.h"
#include "pfx/PfxExport.h"
#include "pfx/RegistrationRecord.h"
#include "platform/CryptoKeys.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "ui/CertFileLaunchers.h"
#include "ui/DialogResults.h"

namespace zyq {
namespace {

// _mbsicmp: equal ignoring the letter case of single-byte characters of the ANSI code page.
bool SamePathIgnoringCase(std::string_view a, std::string_view b) {
  return platform::AnsiUpperCase(a) == platform::AnsiUpperCase(b);
}

}  // namespace

int32_t SecurityEngine::ChangePfxPasswd(Bstr strPfxPath, Bstr strPfxName, Bstr strOldPass,
                                        Bstr strNewPass, int32_t dwFlags) {
  BeginOperation(true);
  ForgetSigningCache();

  std::string folder = strPfxPath.ToAnsi();
  std::string fileName = strPfxName.ToAnsi();
  SecretString oldPassword(strOldPass.ToAnsi());
  SecretString newPassword(strNewPass.ToAnsi());
  strOldPass.Wipe();
  strNewPass.Wipe();

  if (folder.empty() || fileName.empty() || oldPassword.empty() || newPassword.empty()) {
    const int code = ui::PromptChangePassword(folder, fileName, oldPassword, newPassword,
                                              minPasswordLength_, maxPasswordLength_);
    if (code != ui::kDialogOk) return Fail(code);
  }
  const std::string path = platform::JoinPath(folder, fileName);
  platform::FileSystem& files = platform::CurrentFileSystem();
  if (!files.Exists(path)) return Fail(result::kFileNotFound);

  CertStore file;
  if (const int32_t code = file.LoadPfx(path, oldPassword.str(), dwFlags)) {
    return Fail(code, file.lastError());
  }
  CertStore keyed;
  if (const int32_t code = keyed.OpenMemory()) return Fail(code, keyed.lastError());

  // Only certificates with a private key go into the new file; authority certificates stay out.
  std::vector<platform::CertContext> certificates;
  file.handle().Enumerate(&certificates);
  int32_t code = result::kSuccess;
  int count = 0;
  std::string id;
  for (const platform::CertContext& cert : certificates) {
    std::unique_ptr<platform::KeyContext> key;
    uint32_t keySpec = 0;
    if (const platform::SysError error =
            platform::AcquireCertificatePrivateKey(cert, &key, &keySpec)) {
      code = result::kPrivateKeyMissing;
      capiError_ = error;
      continue;
    }
    {
      const CertificateWrapper wrapper(cert);
      id = DeriveUserId(wrapper.GetSubjectCN());
    }
    if (const platform::SysError error = keyed.handle().Add(cert, platform::kCertStoreAddAlways)) {
      code = result::kPersonalStoreDenied;
      capiError_ = error;
      break;
    }
    ++count;
    code = result::kSuccess;
  }
  if (count == 0) return Fail(code != result::kSuccess ? code : result::kPrivateKeyMissing);

  resultCode_ = result::kSuccess;
  capiError_ = 0;
  SecretBytes pfx;
  platform::SysError exportError = 0;
  if (const int32_t failed = ExportKeyedPfx(keyed.handle(), newPassword, &pfx, &exportError)) {
    return Fail(failed, exportError);
  }
  const std::string_view bytes(reinterpret_cast<const char*>(pfx.bytes().data()),
                               pfx.bytes().size());

  // The registered file of this user follows the new password: the record is read before the
  // file changes, so that a record that cannot be read changes nothing.
  RegistrationRecord record;
  platform::SysError unreadable = 0;
  const int32_t recordCode = ReadRegistrationRecord(id, &record, &unreadable);
  if (unreadable != platform::kErrorSuccess) return Fail(result::kAccessDenied, unreadable);
  const bool registered =
      recordCode == result::kSuccess && record.mode > 0 && SamePathIgnoringCase(record.path, path);
  // The old bytes, to put back when the record cannot follow.
  std::string oldBytes;
  if (registered) {
    if (const platform::SysError error = files.ReadFile(path, &oldBytes)) {
      return Fail(result::kFileNotFound, error);
    }
  }
  if (const platform::SysError error = files.WriteFileAtomic(path, bytes)) {
    return Fail(result::kPfxWriteFailed, error);
  }
  if (!registered) return resultCode_;
  const int32_t again = RegisterPfx(Bstr::FromAnsi(folder), Bstr::FromAnsi(fileName),
                                    Bstr::FromAnsi(newPassword.str()), record.mode, 0, 0);
  if (again != result::kSuccess) {
    // The file and its record must agree: the file goes back to the old password.
    files.WriteFileAtomic(path, oldBytes);
  }
  return again;
}

}  // namespace zyq
