// The launchers end to end through the script host, checked on their results and on the
// transcript of what the user was shown.
#include "ui/CertFileLaunchers.h"

#include <gtest/gtest.h>

#include "platform/Text.h"
#include "tests/ui/MachinePaths.h"
#include "tests/ui/ScriptedDialogs.h"
#include "ui/DialogResults.h"

namespace zyq::ui {
namespace {

using platform::Utf8ToAnsi;
using test::InJson;
using test::MachinePath;

TEST(CertFileLaunchersTest, RegisterDefaultsFileNameAndCopiesEverythingBack) {
  test::ScriptedDialogs dialogs;
  dialogs.Answer({"ok\tpassword=secret-one"});
  std::string folder = Utf8ToAnsi(MachinePath("/home/u/ZYQ證券"));
  std::string file;
  SecretString password;
  EXPECT_EQ(PromptRegisterInfo(folder, file, password, 0, 0), kDialogOk);
  EXPECT_EQ(folder, Utf8ToAnsi(MachinePath("/home/u/ZYQ證券")));
  EXPECT_EQ(file, "*.pfx");
  EXPECT_EQ(password.str(), "secret-one");
  const auto lines = dialogs.Transcript();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], R"({"template": 202, "caption": "請輸入註冊的憑證檔案資訊", "path_box": ")" +
                          InJson(MachinePath("/home/u/ZYQ證券/*.pfx")) +
                          R"(", "browse_enabled": true, "min": 4, "max": 20, "answer": "ok"})");
  EXPECT_EQ(dialogs.TranscriptText().find("secret"), std::string::npos);
}

TEST(CertFileLaunchersTest, PasswordIsCutAtTheLimitAndOkObeysTheMinimum) {
  test::ScriptedDialogs dialogs;
  dialogs.Answer({"ok\tpassword=123456789012345678901234", "ok\tpassword=abc",
                  "ok\tpassword=", "ok\tpassword=x"});
  std::string folder = "/f";
  std::string file = "u.pfx";
  SecretString password;
  // Bounds (0, 0) settle to (4, 20): 24 characters typed, 20 taken.
  EXPECT_EQ(PromptRegisterInfo(folder, file, password, 0, 0), kDialogOk);
  EXPECT_EQ(password.str(), "12345678901234567890");
  // Three characters: OK is disabled, so the OK counts as Cancel and nothing changes.
  EXPECT_EQ(PromptRegisterInfo(folder, file, password, 0, 0), kDialogCancelled);
  EXPECT_EQ(password.str(), "12345678901234567890");
  // Bounds (1, 16): OK needs one character.
  EXPECT_EQ(PromptRegisterInfo(folder, file, password, 1, 16), kDialogCancelled);
  EXPECT_EQ(PromptRegisterInfo(folder, file, password, 1, 16), kDialogOk);
  EXPECT_EQ(password.str(), "x");
  const auto lines = dialogs.Transcript();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(lines[0].find(R"("min": 4, "max": 20, "answer": "ok"})"), std::string::npos);
  EXPECT_NE(lines[1].find(R"("min": 4, "max": 20, "answer": "ok-disabled"})"), std::string::npos);
  EXPECT_NE(lines[2].find(R"("min": 1, "max": 16, "answer": "ok-disabled"})"), std::string::npos);
  EXPECT_NE(lines[3].find(R"("min": 1, "max": 16, "answer": "ok"})"), std::string::npos);
  EXPECT_EQ(dialogs.TranscriptText().find("12345"), std::string::npos);
}

TEST(CertFileLaunchersTest, CancelLeavesTheCallersValues) {
  test::ScriptedDialogs dialogs;
  dialogs.Answer({"cancel\tpassword=typed-then-cancelled\tbrowse=/other/b.pfx"});
  std::string folder = "/f";
  std::string file = "u.pfx";
  SecretString password("before");
  EXPECT_EQ(PromptRegisterInfo(folder, file, password, 0, 0), kDialogCancelled);
  EXPECT_EQ(folder, "/f");
  EXPECT_EQ(file, "u.pfx");
  EXPECT_EQ(password.str(), "before");
  // No line left: cancelled as well.
  EXPECT_EQ(PromptSignInfo(folder, file, password, 0, 0, "/default"), kDialogCancelled);
  EXPECT_EQ(folder, "/f");
  EXPECT_EQ(password.str(), "before");
}

TEST(CertFileLaunchersTest, SignLocksBrowseOnlyForTheExactDefaultFolder) {
  test::ScriptedDialogs dialogs;
  const std::string picked = MachinePath("/picked/key.p12");
  dialogs.Answer(
      {"ok\tbrowse=" + picked + "\tpassword=pass1", "ok\tbrowse=" + picked + "\tpassword=pass2"});
  const std::string defaultFolder = Utf8ToAnsi(MachinePath("/home/u/ZYQ證券"));
  std::string folder = defaultFolder;
  std::string file = "A123456789.pfx";
  SecretString password;
  EXPECT_EQ(PromptSignInfo(folder, file, password, 0, 0, defaultFolder), kDialogOk);
  // Browse was disabled: the picked file is ignored, only the password was entered.
  EXPECT_EQ(folder, defaultFolder);
  EXPECT_EQ(file, "A123456789.pfx");
  EXPECT_EQ(password.str(), "pass1");

  std::string otherCase = Utf8ToAnsi(MachinePath("/home/U/ZYQ證券"));
  EXPECT_EQ(PromptSignInfo(otherCase, file, password, 0, 0, defaultFolder), kDialogOk);
  EXPECT_EQ(otherCase, MachinePath("/picked"));
  EXPECT_EQ(file, "key.p12");
  EXPECT_EQ(password.str(), "pass2");

  const auto lines = dialogs.Transcript();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find(R"("caption": "請輸入簽章的憑證檔案資訊")"), std::string::npos);
  EXPECT_NE(
      lines[0].find(R"("path_box": ")" + InJson(MachinePath("/home/u/ZYQ證券/A123456789.pfx")) +
                    R"(", "browse_enabled": false)"),
      std::string::npos);
  EXPECT_NE(lines[1].find(R"("browse_enabled": true)"), std::string::npos);
}

TEST(CertFileLaunchersTest, ExportPicksAFolderAndKeepsTheFileName) {
  test::ScriptedDialogs dialogs;
  dialogs.Answer({"ok\tbrowse=" + MachinePath("/exports") + "\tpassword=pfxpass"});
  std::string folder = MachinePath("/f");
  std::string file = "u1.pfx";
  SecretString password;
  EXPECT_EQ(PromptExportInfo(folder, file, password, 0, 0), kDialogOk);
  EXPECT_EQ(folder, MachinePath("/exports"));
  EXPECT_EQ(file, "u1.pfx");
  EXPECT_EQ(password.str(), "pfxpass");
  const auto lines = dialogs.Transcript();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(R"("caption": "請輸入匯出的憑證檔案資訊", "path_box": ")" +
                          InJson(MachinePath("/f/u1.pfx")) + "\""),
            std::string::npos);
}

TEST(CertFileLaunchersTest, ChangePasswordCopiesBackOldButNotAMismatchedNew) {
  test::ScriptedDialogs dialogs;
  dialogs.Answer({"ok\tbrowse=" + MachinePath("/c/key.p12") +
                      "\told=old-pass\tnew=new-pass1\tconfirm=new-pass2",
                  "ok\told=old-pass\tnew=new-pass\tconfirm=new-pass"});
  std::string folder = MachinePath("/f");
  std::string file;
  SecretString oldPassword("o");
  SecretString newPassword("unchanged");
  EXPECT_EQ(PromptChangePassword(folder, file, oldPassword, newPassword, 0, 0),
            kNewPasswordsDiffer);
  EXPECT_EQ(folder, MachinePath("/c"));
  EXPECT_EQ(file, "key.p12");
  EXPECT_EQ(oldPassword.str(), "old-pass");
  EXPECT_EQ(newPassword.str(), "unchanged");

  EXPECT_EQ(PromptChangePassword(folder, file, oldPassword, newPassword, 0, 0), kDialogOk);
  EXPECT_EQ(newPassword.str(), "new-pass");

  const auto lines = dialogs.Transcript();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], R"({"template": 203, "caption": "變更憑證檔密碼", "path_box": ")" +
                          InJson(MachinePath("/f/*.pfx")) +
                          R"(", "browse_enabled": true, "min": 4, "max": 20, "answer": "ok"})");
  EXPECT_NE(lines[1].find(R"("path_box": ")" + InJson(MachinePath("/c/key.p12")) + "\""),
            std::string::npos);
  const std::string text = dialogs.TranscriptText();
  EXPECT_EQ(text.find("pass"), std::string::npos);
}

TEST(CertFileLaunchersTest, ChangePasswordNeedsTheMinimumInEveryBox) {
  test::ScriptedDialogs dialogs;
  dialogs.Answer({"ok\told=abcd\tnew=abcd\tconfirm=abc", "ok\told=a\tnew=b\tconfirm=b"});
  std::string folder = "/f";
  std::string file = "a.pfx";
  SecretString oldPassword;
  SecretString newPassword;
  EXPECT_EQ(PromptChangePassword(folder, file, oldPassword, newPassword, 0, 0), kDialogCancelled);
  EXPECT_EQ(PromptChangePassword(folder, file, oldPassword, newPassword, 1, 16), kDialogOk);
  EXPECT_EQ(oldPassword.str(), "a");
  EXPECT_EQ(newPassword.str(), "b");
}

TEST(CertFileLaunchersTest, CertFolderDialogTakesAChosenFolderOnly) {
  test::ScriptedDialogs dialogs;
  dialogs.Answer({"ok\tbrowse=/new/place", "ok\tbrowse=", "cancel", "ok"});
  std::string folder = Utf8ToAnsi("/home/u/ZYQ證券");
  EXPECT_EQ(PromptCertFolder(folder), kDialogOk);
  EXPECT_EQ(folder, "/new/place");
  // The picker closed without a choice empties the box, which disables OK.
  EXPECT_EQ(PromptCertFolder(folder), kDialogCancelled);
  EXPECT_EQ(folder, "/new/place");
  EXPECT_EQ(PromptCertFolder(folder), kDialogCancelled);
  // OK at once retries the folder shown.
  EXPECT_EQ(PromptCertFolder(folder), kDialogOk);
  EXPECT_EQ(folder, "/new/place");
  const auto lines = dialogs.Transcript();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0],
            R"({"template": 204, "caption": "選擇憑證路徑", )"
            R"("folder_box": "/home/u/ZYQ證券", "browse_enabled": true, "answer": "ok"})");
  EXPECT_NE(lines[1].find(R"("answer": "ok-disabled")"), std::string::npos);
}

TEST(CertFileLaunchersTest, ScriptErrorsCancel) {
  test::ScriptedDialogs dialogs;
  // A box the dialog does not have, and an unknown answer word.
  dialogs.Answer({"ok\tpassword=abcd\tnew=abcd", "yes\tpassword=abcd"});
  std::string folder = "/f";
  std::string file = "a.pfx";
  SecretString password;
  EXPECT_EQ(PromptRegisterInfo(folder, file, password, 0, 0), kDialogCancelled);
  EXPECT_EQ(PromptRegisterInfo(folder, file, password, 0, 0), kDialogCancelled);
  EXPECT_TRUE(password.empty());
}

}  // namespace
}  // namespace zyq::ui
