// The launchers of the certificate file dialogs: each fills a dialog from the operation's
// values, runs it on the process's dialog host and copies the answers back. Texts are ANSI
// (the engine's code page). They return a result code and never touch the engine's fields:
//   kDialogOk (0)              OK; the values named below were copied back
//   kDialogNotCreated (5002)   the host could not create the dialog; the arguments keep their
//                              values
//   kDialogCancelled (5070)    any other end; the arguments keep their values
//   kNewPasswordsDiffer (5209) PromptChangePassword only, see there
// minLength and maxLength are the engine's password bounds, settled as SettlePasswordBounds
// does. The password boxes start empty.
#pragma once

#include <string>

#include "platform/Secret.h"

namespace zyq::ui {

// "請輸入匯出的憑證檔案資訊": Browse picks a folder. OK copies back folder and password.
int PromptExportInfo(std::string& folder, std::string& fileName, SecretString& password,
                     int minLength, int maxLength);

// "請輸入註冊的憑證檔案資訊": Browse picks a PKCS#12 file. An empty file name becomes "*.pfx"
// (written back at once, whatever the answer). OK copies back folder, file name and password.
int PromptRegisterInfo(std::string& folder, std::string& fileName, SecretString& password,
                       int minLength, int maxLength);

// "請輸入簽章的憑證檔案資訊": as PromptRegisterInfo, except that Browse is disabled when the
// folder is exactly (byte for byte) defaultCertFolder, the default certificate folder: the user
// can then only enter the password.
int PromptSignInfo(std::string& folder, std::string& fileName, SecretString& password,
                   int minLength, int maxLength, const std::string& defaultCertFolder);

// ChangePfxPasswordDialog. An empty file name becomes "*.pfx" as for PromptRegisterInfo. On OK,
// folder, file name and old password are copied back; then, when the new password equals the
// confirmation byte for byte, the new password too and the result is kDialogOk, otherwise the
// caller's new password is left as it was and the result is kNewPasswordsDiffer.
int PromptChangePassword(std::string& folder, std::string& fileName, SecretString& oldPassword,
                         SecretString& newPassword, int minLength, int maxLength);

// CertFolderDialog, for an operation that could not write into `folder`: it shows that folder
// and lets the user choose another. kDialogOk with the chosen folder in `folder`, or
// kDialogCancelled or kDialogNotCreated with `folder` unchanged.
int PromptCertFolder(std::string& folder);

}  // namespace zyq::ui
