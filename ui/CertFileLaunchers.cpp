#include "ui/CertFileLaunchers.h"

#include "platform/DialogHost.h"
#include "platform/Text.h"
#include "ui/CertFileInfoDialog.h"
#include "ui/CertFolderDialog.h"
#include "ui/ChangePfxPasswordDialog.h"
#include "ui/DialogResults.h"
#include "ui/DialogTexts.h"

namespace zyq::ui {
namespace {

constexpr const char* kDefaultFileName = "*.pfx";

enum class CopyBack { kFolderAndPassword, kEverything };

int RunCertFileInfo(std::string_view title, bool folderMode, bool browseLocked, CopyBack copyBack,
                    std::string& folder, std::string& fileName, SecretString& password,
                    int minLength, int maxLength) {
  CertFileInfoDialog dialog;
  dialog.SetTitle(platform::Utf8ToAnsi(title));
  dialog.SetFolderMode(folderMode);
  dialog.SetBrowseLocked(browseLocked);
  dialog.SetFolder(folder);
  dialog.SetFileName(fileName);
  dialog.SetLengthBounds(minLength, maxLength);
  const int code = DialogCode(dialog.Run(platform::CurrentDialogHost()));
  if (code != kDialogOk) return code;
  folder = dialog.folder();
  if (copyBack == CopyBack::kEverything) fileName = dialog.fileName();
  password = dialog.password();
  return kDialogOk;
}

}  // namespace

int PromptExportInfo(std::string& folder, std::string& fileName, SecretString& password,
                     int minLength, int maxLength) {
  return RunCertFileInfo(text::kExportTitle, true, false, CopyBack::kFolderAndPassword, folder,
                         fileName, password, minLength, maxLength);
}

int PromptRegisterInfo(std::string& folder, std::string& fileName, SecretString& password,
                       int minLength, int maxLength) {
  if (fileName.empty()) fileName = kDefaultFileName;
  return RunCertFileInfo(text::kRegisterTitle, false, false, CopyBack::kEverything, folder,
                         fileName, password, minLength, maxLength);
}

int PromptSignInfo(std::string& folder, std::string& fileName, SecretString& password,
                   int minLength, int maxLength, const std::string& defaultCertFolder) {
  if (fileName.empty()) fileName = kDefaultFileName;
  const bool locked = folder == defaultCertFolder;
  return RunCertFileInfo(text::kSignTitle, false, locked, CopyBack::kEverything, folder, fileName,
                         password, minLength, maxLength);
}

int PromptChangePassword(std::string& folder, std::string& fileName, SecretString& oldPassword,
                         SecretString& newPassword, int minLength, int maxLength) {
  if (fileName.empty()) fileName = kDefaultFileName;
  ChangePfxPasswordDialog dialog;
  dialog.SetFolder(folder);
  dialog.SetFileName(fileName);
  dialog.SetLengthBounds(minLength, maxLength);
  const int code = DialogCode(dialog.Run(platform::CurrentDialogHost()));
  if (code != kDialogOk) return code;
  folder = dialog.folder();
  fileName = dialog.fileName();
  oldPassword = dialog.oldPassword();
  if (dialog.newPassword().str() != dialog.confirmation().str()) return kNewPasswordsDiffer;
  newPassword = dialog.newPassword();
  return kDialogOk;
}

int PromptCertFolder(std::string& folder) {
  CertFolderDialog dialog;
  dialog.SetFolder(folder);
  const int code = DialogCode(dialog.Run(platform::CurrentDialogHost()));
  if (code != kDialogOk) return code;
  folder = dialog.folder();
  return kDialogOk;
}

}  // namespace zyq::ui
