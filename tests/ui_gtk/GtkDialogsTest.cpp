// The GTK host under a real X display (Xvfb in CI): each dialog opens with its texts, reacts to
// typed input with its rules, and is saved as a screenshot in the build folder. Skipped when no
// display is reachable.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/Text.h"
#include "platform/posix/dialogs/GtkAutomation.h"
#include "tests/support/TestEnvironment.h"
#include "ui/CertFileLaunchers.h"
#include "ui/CertListDialog.h"
#include "ui/DialogResults.h"
#include "ui/Pickers.h"

namespace zyq::ui {
namespace {

using platform::Utf8ToAnsi;
using platform::posix::WindowDriver;

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

class GtkDialogsTest : public testing::Test {
 protected:
  void SetUp() override {
    // The file chooser keeps its settings in memory, not in the (absent) desktop session.
    setenv("GSETTINGS_BACKEND", "memory", 1);
#ifdef ZYQ_GTK_MODULE_PATH
    setenv("ZYQSEC_GTK_MODULE", ZYQ_GTK_MODULE_PATH, 1);
#endif
    if (!platform::posix::GtkDisplayAvailable()) GTEST_SKIP() << "no display for GTK";
    setenv("ZYQSEC_UI", "gtk", 1);
    log_ = test::TestRoot() + "/gtk-transcript.jsonl";
    setenv("ZYQSEC_UI_LOG", log_.c_str(), 1);
  }
  void TearDown() override {
    platform::posix::SetGtkWindowObserverForTesting(nullptr);
    setenv("ZYQSEC_UI", "none", 1);
    unsetenv("ZYQSEC_UI_LOG");
  }

  // Acts on each window shown, in order; a window beyond the list is cancelled by the host.
  void Act(std::vector<std::function<void(WindowDriver&)>> steps) {
    steps_ = std::move(steps);
    next_ = 0;
    platform::posix::SetGtkWindowObserverForTesting([this](WindowDriver& window) {
      ++windows_;
      if (next_ < steps_.size()) steps_[next_++](window);
    });
  }

  static void Screenshot(WindowDriver& window, const std::string& name) {
    const char* dir = std::getenv("ZYQSEC_TEST_BINARY_DIR");
    std::string folder = std::string(dir != nullptr ? dir : ".") + "/screenshots";
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(window.SaveScreenshot(folder + "/" + name + ".png")) << name;
  }

  std::string Transcript() const {
    return test::ReadFile(log_);
  }

  std::vector<std::function<void(WindowDriver&)>> steps_;
  size_t next_ = 0;
  int windows_ = 0;
  std::string log_;
};

TEST_F(GtkDialogsTest, CertFileInfoDialogEnablesOkAtTheMinimumAndCutsAtTheLimit) {
  Act({[](WindowDriver& w) {
    EXPECT_EQ(w.Kind(), "form");
    EXPECT_EQ(w.Caption(), "請輸入註冊的憑證檔案資訊");
    const auto texts = w.Texts();
    for (const char* text : {"憑證檔案儲存路徑 :", "瀏覽", "輸入憑證密碼 :", "確定", "取消"}) {
      EXPECT_TRUE(Contains(texts, text)) << text;
    }
    EXPECT_EQ(w.BoxText(204), "/home/u/ZYQ證券/*.pfx");
    EXPECT_EQ(w.BoxLimit(205), 20);
    EXPECT_TRUE(w.BoxHidesText(205));
    EXPECT_TRUE(w.Enabled(203));
    EXPECT_FALSE(w.Enabled(1));
    w.TypeInto(205, "abc");
    EXPECT_EQ(w.BoxText(205), "abc");
    EXPECT_FALSE(w.Enabled(1));
    w.Click(1);  // disabled: nothing happens
    w.PressEnter();
    EXPECT_FALSE(w.Closed());
    w.TypeInto(205, "d");
    EXPECT_TRUE(w.Enabled(1));
    w.ClearBox(205);
    EXPECT_FALSE(w.Enabled(1));
    w.TypeInto(205, "0123456789abcdefghijKLMNO");
    EXPECT_EQ(w.BoxText(205), "0123456789abcdefghij");
    EXPECT_TRUE(w.Enabled(1));
    Screenshot(w, "202-register");
    w.PressEnter();  // OK is the default button
    EXPECT_TRUE(w.Closed());
  }});
  std::string folder = Utf8ToAnsi("/home/u/ZYQ證券");
  std::string file;
  SecretString password;
  EXPECT_EQ(PromptRegisterInfo(folder, file, password, 0, 0), kDialogOk);
  EXPECT_EQ(windows_, 1);
  EXPECT_EQ(file, "*.pfx");
  EXPECT_EQ(password.str(), "0123456789abcdefghij");
  EXPECT_NE(Transcript().find(R"("min": 4, "max": 20, "answer": "ok"})"), std::string::npos);
  EXPECT_EQ(Transcript().find("0123"), std::string::npos);
}

TEST_F(GtkDialogsTest, BrowseOpensThePfxChooserAndSplitsTheChoice) {
  const std::string dir = test::TestRoot() + "/certs";
  std::filesystem::create_directories(dir);
  ASSERT_TRUE(test::WriteFile(dir + "/key.p12", "x"));
  Act({[](WindowDriver& w) {
         EXPECT_EQ(w.BoxLimit(205), 16);
         w.TypeInto(205, "p");
         EXPECT_TRUE(w.Enabled(1));  // bounds (1, 16)
         w.Click(203);
         EXPECT_EQ(w.BoxText(204), test::TestRoot() + "/certs/key.p12");
         w.Click(1);
       },
       [&dir](WindowDriver& w) {
         EXPECT_EQ(w.Kind(), "open-file");
         EXPECT_EQ(w.Caption(), "請選擇憑證檔案");
         EXPECT_EQ(w.FilterNames(),
                   (std::vector<std::string>{"PFX Files (*.pfx;*.p12)", "All Files (*.*)"}));
         EXPECT_EQ(w.CurrentFolder(), dir);
         Screenshot(w, "202-browse-file");
         w.Choose(dir + "/key.p12");
       }});
  std::string folder = dir;
  std::string file;
  SecretString password;
  EXPECT_EQ(PromptSignInfo(folder, file, password, 1, 16, "/elsewhere"), kDialogOk);
  EXPECT_EQ(windows_, 2);
  EXPECT_EQ(folder, dir);
  EXPECT_EQ(file, "key.p12");
  EXPECT_EQ(password.str(), "p");
}

TEST_F(GtkDialogsTest, ExportBrowsesForAFolderAndKeepsTheFileName) {
  const std::string old = test::TestRoot() + "/old";
  Act({[&old](WindowDriver& w) {
         EXPECT_EQ(w.Caption(), "請輸入匯出的憑證檔案資訊");
         EXPECT_EQ(w.BoxText(204), old + "/u1.pfx");
         w.TypeInto(205, "pass");
         Screenshot(w, "202-export-folder");
         w.Click(203);
         EXPECT_EQ(w.BoxText(204), test::TestRoot() + "/u1.pfx");
         w.Click(1);
       },
       [](WindowDriver& w) {
         EXPECT_EQ(w.Kind(), "folder");
         EXPECT_EQ(w.Caption(), "請選擇憑證檔案儲存路徑 :");
         w.Choose(test::TestRoot());
       }});
  std::string folder = old;
  std::string file = "u1.pfx";
  SecretString password;
  EXPECT_EQ(PromptExportInfo(folder, file, password, 0, 0), kDialogOk);
  EXPECT_EQ(windows_, 2);
  EXPECT_EQ(folder, test::TestRoot());
  EXPECT_EQ(file, "u1.pfx");
  EXPECT_EQ(password.str(), "pass");
}

TEST_F(GtkDialogsTest, SignDialogLocksBrowseForTheDefaultFolder) {
  Act({[](WindowDriver& w) {
    EXPECT_EQ(w.Caption(), "請輸入簽章的憑證檔案資訊");
    EXPECT_FALSE(w.Enabled(203));
    w.Click(203);  // disabled: no chooser opens
    Screenshot(w, "202-sign-locked");
    EXPECT_FALSE(w.Closed());
    w.Dismiss();  // Escape
    EXPECT_TRUE(w.Closed());
  }});
  const std::string defaultFolder = Utf8ToAnsi("/home/u/ZYQ證券");
  std::string folder = defaultFolder;
  std::string file = "A1.pfx";
  SecretString password("kept");
  EXPECT_EQ(PromptSignInfo(folder, file, password, 0, 0, defaultFolder), kDialogCancelled);
  EXPECT_EQ(windows_, 1);
  EXPECT_EQ(password.str(), "kept");
  EXPECT_NE(
      Transcript().find(R"("browse_enabled": false, "min": 4, "max": 20, "answer": "cancel"})"),
      std::string::npos);
}

TEST_F(GtkDialogsTest, ChangePasswordDialogNeedsAllThreeBoxes) {
  Act({[](WindowDriver& w) {
    EXPECT_EQ(w.Caption(), "變更憑證檔密碼");
    const auto texts = w.Texts();
    for (const char* text : {"輸入原憑證密碼 :", "輸入新憑證密碼 :", "確認新憑證密碼 :"}) {
      EXPECT_TRUE(Contains(texts, text)) << text;
    }
    for (int id : {206, 207, 208}) {
      EXPECT_EQ(w.BoxLimit(id), 20);
      EXPECT_TRUE(w.BoxHidesText(id));
    }
    w.TypeInto(206, "old-pass");
    w.TypeInto(207, "new-pass");
    EXPECT_FALSE(w.Enabled(1));
    w.TypeInto(208, "new");
    EXPECT_FALSE(w.Enabled(1));
    w.TypeInto(208, "-pasX");
    EXPECT_TRUE(w.Enabled(1));
    Screenshot(w, "203-change-password");
    w.Click(1);
  }});
  std::string folder = "/f";
  std::string file = "a.pfx";
  SecretString oldPassword, newPassword("unchanged");
  EXPECT_EQ(PromptChangePassword(folder, file, oldPassword, newPassword, 0, 0),
            kNewPasswordsDiffer);
  EXPECT_EQ(oldPassword.str(), "old-pass");
  EXPECT_EQ(newPassword.str(), "unchanged");
}

TEST_F(GtkDialogsTest, CertFolderDialogEmptiesTheBoxWhenThePickerIsClosed) {
  const std::string start = test::TestRoot() + "/home";
  Act({[&start](WindowDriver& w) {
         EXPECT_EQ(w.Caption(), "選擇憑證路徑");
         EXPECT_TRUE(Contains(w.Texts(),
                              "\u3000\u3000\u3000無法將憑證儲存至預設路徑,\n\u3000\u3000\u3000"
                              "請選擇您想要儲存的憑證路徑\n\n憑證路徑 :"));
         EXPECT_TRUE(Contains(w.Texts(), "選擇路徑"));
         EXPECT_EQ(w.BoxText(202), start);
         EXPECT_TRUE(w.Enabled(1));
         Screenshot(w, "204-folder");
         w.Click(203);
         EXPECT_EQ(w.BoxText(202), "");
         EXPECT_FALSE(w.Enabled(1));
         w.Click(203);
         EXPECT_EQ(w.BoxText(202), test::TestRoot());
         w.Click(1);
       },
       [&start](WindowDriver& w) {
         EXPECT_EQ(w.Kind(), "folder");
         EXPECT_EQ(w.Caption(), "請選擇憑證檔存放路徑 :");
         EXPECT_EQ(w.CurrentFolder(), start);
         Screenshot(w, "204-folder-picker");
         w.Dismiss();
       },
       [](WindowDriver& w) { w.Choose(test::TestRoot()); }});
  std::string folder = start;
  EXPECT_EQ(PromptCertFolder(folder), kDialogOk);
  EXPECT_EQ(folder, test::TestRoot());
}

TEST_F(GtkDialogsTest, CertificateListShowsFourColumnsAndViews) {
  const std::vector<CertificateCandidate> candidates = {
      {{0x30, 0x01}, Utf8ToAnsi("王小明"), "2024/01/01", "2026/01/01", "Test CA"},
      {{0x30, 0x02}, "C=TW, O=ZYQ", "2024/02/01", "2026/02/01", "C=TW, O=Root"},
      {{0x30, 0x03}, "third", "2023/03/03", "2025/03/03", "Test CA"}};
  Act({[](WindowDriver& w) {
    EXPECT_EQ(w.Kind(), "list");
    EXPECT_EQ(w.Caption(), "選擇憑證匯出至憑證交換檔");
    EXPECT_EQ(w.ColumnHeaders(),
              (std::vector<std::string>{"憑證持有人", "起始日", "截止日", "憑證發行者"}));
    const auto rows = w.Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"王小明", "2024/01/01", "2026/01/01", "Test CA"}));
    EXPECT_EQ(w.SelectedRow(), 0);
    EXPECT_TRUE(Contains(w.Texts(), "檢視憑證"));
    EXPECT_TRUE(Contains(w.Texts(), "憑證"));
    w.Click(202);
    w.SelectRow(2);
    w.Click(202);
    const std::string tmp = std::getenv("TMPDIR");
    EXPECT_EQ(w.ViewedFiles(), (std::vector<std::string>{tmp + "/temp.cer", tmp + "/temp.cer"}));
    EXPECT_EQ(test::ReadFile(tmp + "/temp.cer"), std::string("\x30\x03", 2));
    Screenshot(w, "201-certificate-list");
    w.Click(1);
  }});
  int chosen = -1;
  EXPECT_EQ(ChooseCertificate(candidates, chosen), kDialogOk);
  EXPECT_EQ(chosen, 2);
}

TEST_F(GtkDialogsTest, BarePickersAndKeyAccess) {
  const std::string file = test::TestRoot() + "/data.bin";
  ASSERT_TRUE(test::WriteFile(file, "abc"));
  Act({[&file](WindowDriver& w) {
         EXPECT_EQ(w.Kind(), "open-file");
         EXPECT_EQ(w.Caption(), "請選擇檔案");
         EXPECT_EQ(w.FilterNames(), std::vector<std::string>{"All Files (*.*)"});
         Screenshot(w, "picker-hash-file");
         w.Choose(file);
       },
       [](WindowDriver& w) {
         EXPECT_EQ(w.Kind(), "folder");
         EXPECT_EQ(w.Caption(), "請選擇檔案儲存路徑 :");
         EXPECT_EQ(w.CurrentFolder(), test::TestRoot());
         Screenshot(w, "picker-local-folder");
         w.Dismiss();
         EXPECT_TRUE(w.Closed());
       },
       [](WindowDriver& w) {
         EXPECT_EQ(w.Kind(), "key-access");
         EXPECT_EQ(w.Caption(), "確認使用私密金鑰");
         Screenshot(w, "key-access");
         w.Click(1);
       }});
  std::string path;
  EXPECT_EQ(PromptFileToHash(path), kDialogOk);
  EXPECT_EQ(path, file);
  EXPECT_EQ(PromptLocalFolder(test::TestRoot(), ""), "");
  EXPECT_TRUE(platform::CurrentDialogHost().ConfirmKeyAccess("container-1"));
  EXPECT_EQ(windows_, 3);
}

TEST_F(GtkDialogsTest, AWindowLeftOpenByTheObserverIsCancelled) {
  Act({[](WindowDriver& w) { w.TypeInto(205, "long-enough"); }});
  std::string folder = "/f";
  std::string file = "a.pfx";
  SecretString password;
  EXPECT_EQ(PromptRegisterInfo(folder, file, password, 0, 0), kDialogCancelled);
  EXPECT_TRUE(password.empty());
}

// GTK runs on the thread that started it; a dialog asked for on another thread cannot be created
// there (rather than touching the toolkit from two threads), and no window opens.
TEST_F(GtkDialogsTest, ADialogOnAnotherThreadThanTheToolkitsIsNotCreated) {
  Act({});
  int code = -1;
  std::string path;
  std::thread other([&] { code = PromptFileToHash(path); });
  other.join();
  EXPECT_EQ(code, kDialogNotCreated);
  EXPECT_EQ(windows_, 0);
}

}  // namespace
}  // namespace zyq::ui
