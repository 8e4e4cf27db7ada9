// The Win32 dialog host under a real display: each launcher shows its dialog while a second
// thread finds the window by its caption and works it through window messages, as a person's
// keys and clicks would (WM_CHAR into the boxes, BM_CLICK on the buttons), then checks what the
// launcher answered. Every picker is opened and closed; no window is left open.
//
// Run by run_dialog_tests.sh inside Xvfb and a Wine desktop. With ZYQ_SHOT_DIR set, each dialog
// and picker waits on screen until the script has taken its picture (see Shoot). With
// ZYQ_NO_DESKTOP set the program runs without a display and checks that no dialog is created.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/DialogHost.h"
#include "platform/Text.h"
#include "tests/support/TestEnvironment.h"
#include "ui/CertFileLaunchers.h"
#include "ui/CertListDialog.h"
#include "ui/DialogIds.h"
#include "ui/DialogResults.h"
#include "ui/Pickers.h"

namespace zyq::ui {
namespace {

using platform::Utf8ToAnsi;
using namespace std::chrono_literals;

std::wstring W(const std::string& utf8) {
  const std::u16string wide = platform::Utf8ToWide(utf8);
  return std::wstring(reinterpret_cast<const wchar_t*>(wide.data()), wide.size());
}

std::string Text(HWND window) {
  wchar_t buffer[1024] = {};
  SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer));
  const std::wstring wide(buffer);
  return platform::WideToUtf8(
      std::u16string(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

// The windows the test thread (the one showing the dialogs) owns and shows.
BOOL CALLBACK CollectVisible(HWND window, LPARAM list) {
  if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

std::vector<HWND> VisibleWindowsOf(DWORD thread) {
  std::vector<HWND> windows;
  EnumThreadWindows(thread, &CollectVisible, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

struct TextSearch {
  std::string text;
  bool found = false;
};

BOOL CALLBACK FindText(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<TextSearch*>(data);
  if (Text(child) == search->text) search->found = true;
  return !search->found;
}

// Works the dialogs of the test thread from a thread of its own.
class Driver {
 public:
  explicit Driver(std::function<void(Driver&)> steps)
      : owner_(GetCurrentThreadId()), thread_([this, steps] { Run(steps); }) {}
  ~Driver() { thread_.join(); }

  // The visible top-level window of the test thread with this caption; fails the test and
  // closes everything after 20 s.
  HWND WaitFor(const std::string& caption) {
    const std::wstring wide = W(caption);
    for (int i = 0; i < 400; ++i) {
      HWND window = FindWindowW(L"#32770", wide.c_str());
      if (window != nullptr && IsWindowVisible(window) &&
          GetWindowThreadProcessId(window, nullptr) == owner_) {
        Sleep(200);  // let it finish painting
        return window;
      }
      Sleep(50);
    }
    throw std::runtime_error("no window \"" + caption + "\"");
  }

  // A window of the test thread other than `known` (the shell's folder picker, whose caption is
  // the system's own).
  HWND WaitForNew(HWND known) {
    for (int i = 0; i < 400; ++i) {
      for (HWND window : VisibleWindowsOf(owner_)) {
        if (window != known) {
          Sleep(300);
          return window;
        }
      }
      Sleep(50);
    }
    throw std::runtime_error("no picker opened");
  }

  // Whether one of the window's controls shows this text (the folder picker's title).
  static bool ShowsText(HWND window, const std::string& text) {
    TextSearch search{text};
    EnumChildWindows(window, &FindText, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  void WaitGone(HWND window) {
    for (int i = 0; i < 400 && IsWindow(window); ++i) Sleep(50);
    EXPECT_FALSE(IsWindow(window)) << "still open: " << Text(window);
  }

  // Types the text key by key, as the keyboard does.
  static void Type(HWND dialog, int id, const std::string& utf8) {
    for (wchar_t c : W(utf8)) SendMessageW(GetDlgItem(dialog, id), WM_CHAR, c, 0);
  }
  static bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)); }
  static std::string BoxText(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }
  // A click that returns at once: what it opens runs while this thread goes on.
  static void Click(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
  // Closes a picker with its own OK or Cancel.
  void Answer(HWND picker, int id) {
    PostMessageW(picker, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    WaitGone(picker);
  }

  // With ZYQ_SHOT_DIR set: leaves a request file for the window's picture and waits until the
  // script that takes it has removed the file.
  static void Shoot(const std::string& name) {
    const char* folder = std::getenv("ZYQ_SHOT_DIR");
    if (folder == nullptr || *folder == '\0') return;
    const std::string request = std::string(folder) + "\\" + name + ".ready";
    std::ofstream(request) << name;
    for (int i = 0; i < 600 && GetFileAttributesA(request.c_str()) != INVALID_FILE_ATTRIBUTES;
         ++i) {
      Sleep(50);
    }
  }

 private:
  void Run(const std::function<void(Driver&)>& steps) {
    try {
      steps(*this);
    } catch (const std::exception& e) {
      ADD_FAILURE() << e.what();
    }
    // Whatever the steps left open is cancelled, so the test thread always comes back.
    for (int round = 0; round < 20; ++round) {
      const std::vector<HWND> open = VisibleWindowsOf(owner_);
      if (open.empty()) return;
      if (round == 0) ADD_FAILURE() << "left open: " << Text(open.front());
      for (HWND window : open) PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
      Sleep(250);
    }
  }

  DWORD owner_;
  std::thread thread_;
};

class Win32DialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("ZYQ_NO_DESKTOP") != nullptr) GTEST_SKIP() << "no desktop in this run";
    _putenv_s("ZYQSEC_UI", "win32");
  }
  void TearDown() override {
    EXPECT_TRUE(VisibleWindowsOf(GetCurrentThreadId()).empty()) << "a dialog is still open";
  }
};

// The file name box of the open-file dialog (a combo box on some systems, an edit on others).
HWND FileNameBox(HWND picker) {
  HWND box = GetDlgItem(picker, 0x47c);                     // cmb13
  return box != nullptr ? box : GetDlgItem(picker, 0x480);  // edt1
}

TEST_F(Win32DialogsTest, CertFileInfoInFileModeTypesLimitsAndBrowses) {
  std::string folder = "C:\\windows";
  std::string file;
  SecretString password;
  int code = -1;
  {
    Driver driver([](Driver& d) {
      HWND dialog = d.WaitFor("請輸入註冊的憑證檔案資訊");
      EXPECT_EQ(Driver::BoxText(dialog, ids::kPathBox), "C:\\windows\\*.pfx");
      EXPECT_TRUE(Driver::Enabled(dialog, ids::kBrowseButton));
      EXPECT_FALSE(Driver::Enabled(dialog, IDOK));
      Driver::Type(dialog, ids::kPasswordBox, "密碼c");
      EXPECT_FALSE(Driver::Enabled(dialog, IDOK)) << "3 characters, minimum 4";
      Driver::Type(dialog, ids::kPasswordBox, "d");
      EXPECT_TRUE(Driver::Enabled(dialog, IDOK));
      Driver::Type(dialog, ids::kPasswordBox, "efghij");
      EXPECT_EQ(GetWindowTextLengthW(GetDlgItem(dialog, ids::kPasswordBox)), 8) << "maximum 8";
      Driver::Shoot("202-file");

      Driver::Click(dialog, ids::kBrowseButton);
      HWND picker = d.WaitFor("請選擇憑證檔案");
      // The picker opens in the box's folder with its file name.
      EXPECT_EQ(Text(FileNameBox(picker)), "*.pfx");
      Driver::Shoot("open-file-picker");
      d.Answer(picker, IDCANCEL);
      EXPECT_EQ(Driver::BoxText(dialog, ids::kPathBox), "C:\\windows\\*.pfx");

      Driver::Click(dialog, ids::kBrowseButton);
      picker = d.WaitFor("請選擇憑證檔案");
      SendMessageW(FileNameBox(picker), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(L"C:\\windows\\選擇.pfx"));
      d.Answer(picker, IDOK);
      EXPECT_EQ(Driver::BoxText(dialog, ids::kPathBox), "C:\\windows\\選擇.pfx");
      SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
      d.WaitGone(dialog);
    });
    code = PromptRegisterInfo(folder, file, password, 4, 8);
  }
  EXPECT_EQ(code, kDialogOk);
  EXPECT_EQ(folder, "C:\\windows");
  EXPECT_EQ(file, Utf8ToAnsi("選擇.pfx"));
  EXPECT_EQ(password.str(), Utf8ToAnsi("密碼cdefgh"));
}

TEST_F(Win32DialogsTest, CertFileInfoInFolderModeAndLockedBrowse) {
  std::string folder = "C:\\windows";
  std::string file = "u1.pfx";
  SecretString password("kept");
  int code = -1;
  {
    Driver driver([](Driver& d) {
      HWND dialog = d.WaitFor("請輸入匯出的憑證檔案資訊");
      EXPECT_EQ(Driver::BoxText(dialog, ids::kPathBox), "C:\\windows\\u1.pfx");
      Driver::Shoot("202-folder");
      Driver::Click(dialog, ids::kBrowseButton);
      HWND picker = d.WaitForNew(dialog);
      EXPECT_TRUE(Driver::ShowsText(picker, "請選擇憑證檔案儲存路徑 :"));
      d.Answer(picker, IDCANCEL);
      Driver::Type(dialog, ids::kPasswordBox, "abcd");
      EXPECT_TRUE(Driver::Enabled(dialog, IDOK));
      SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
      d.WaitGone(dialog);
    });
    code = PromptExportInfo(folder, file, password, 0, 0);
  }
  EXPECT_EQ(code, kDialogCancelled);
  EXPECT_EQ(folder, "C:\\windows");
  EXPECT_EQ(password.str(), "kept");

  // Signing from the default folder: Browse is disabled and a click on it opens nothing.
  folder = "C:\\certs";
  file = "a.pfx";
  {
    Driver driver([](Driver& d) {
      HWND dialog = d.WaitFor("請輸入簽章的憑證檔案資訊");
      EXPECT_FALSE(Driver::Enabled(dialog, ids::kBrowseButton));
      SendMessageW(GetDlgItem(dialog, ids::kBrowseButton), BM_CLICK, 0, 0);
      EXPECT_EQ(VisibleWindowsOf(GetWindowThreadProcessId(dialog, nullptr)).size(), 1u);
      Driver::Type(dialog, ids::kPasswordBox, "1234");
      SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
      d.WaitGone(dialog);
    });
    code = PromptSignInfo(folder, file, password, 0, 0, "C:\\certs");
  }
  EXPECT_EQ(code, kDialogOk);
  EXPECT_EQ(password.str(), "1234");
}

TEST_F(Win32DialogsTest, ChangePasswordNeedsAllThreeBoxesAndComparesThem) {
  std::string folder = "C:\\";
  std::string file;
  SecretString oldPassword;
  SecretString newPassword("before");
  int code = -1;
  {
    Driver driver([](Driver& d) {
      HWND dialog = d.WaitFor("變更憑證檔密碼");
      EXPECT_EQ(Driver::BoxText(dialog, ids::kPathBox), "C:\\*.pfx");
      Driver::Type(dialog, ids::kOldPasswordBox, "old1");
      Driver::Type(dialog, ids::kNewPasswordBox, "new1234567");
      EXPECT_EQ(GetWindowTextLengthW(GetDlgItem(dialog, ids::kNewPasswordBox)), 6);
      EXPECT_FALSE(Driver::Enabled(dialog, IDOK)) << "the confirmation is still empty";
      Driver::Type(dialog, ids::kConfirmBox, "new12X");
      EXPECT_TRUE(Driver::Enabled(dialog, IDOK));
      Driver::Shoot("203");
      Driver::Click(dialog, ids::kBrowseButton);
      d.Answer(d.WaitFor("請選擇憑證檔案"), IDCANCEL);
      SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
      d.WaitGone(dialog);
    });
    code = PromptChangePassword(folder, file, oldPassword, newPassword, 4, 6);
  }
  EXPECT_EQ(code, kNewPasswordsDiffer);
  EXPECT_EQ(oldPassword.str(), "old1");
  EXPECT_EQ(newPassword.str(), "before");
}

TEST_F(Win32DialogsTest, CertFolderPickerStartsAtTheBoxAndEmptiesItOnCancel) {
  std::string folder = "C:\\windows\\system32";
  int code = -1;
  {
    Driver driver([](Driver& d) {
      HWND dialog = d.WaitFor("選擇憑證路徑");
      EXPECT_EQ(Driver::BoxText(dialog, ids::kFolderBox), "C:\\windows\\system32");
      EXPECT_TRUE(Driver::Enabled(dialog, IDOK));
      Driver::Shoot("204");
      // The picker opens with the box's folder selected: its OK answers that folder.
      Driver::Click(dialog, ids::kChooseFolderButton);
      HWND picker = d.WaitForNew(dialog);
      EXPECT_TRUE(Driver::ShowsText(picker, "請選擇憑證檔存放路徑 :"));
      Driver::Shoot("folder-picker");
      d.Answer(picker, IDOK);
      EXPECT_EQ(Driver::BoxText(dialog, ids::kFolderBox), "C:\\windows\\system32");
      Driver::Click(dialog, ids::kChooseFolderButton);
      d.Answer(d.WaitForNew(dialog), IDCANCEL);
      EXPECT_EQ(Driver::BoxText(dialog, ids::kFolderBox), "");
      EXPECT_FALSE(Driver::Enabled(dialog, IDOK));
      SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
      d.WaitGone(dialog);
    });
    code = PromptCertFolder(folder);
  }
  EXPECT_EQ(code, kDialogCancelled);
  EXPECT_EQ(folder, "C:\\windows\\system32");
}

std::vector<CertificateCandidate> Candidates() {
  return {{{0x30, 0x01, 0xA1},
           Utf8ToAnsi("王小明"),
           "2024/01/02",
           "2026/01/02",
           Utf8ToAnsi("測試憑證中心")},
          {{0x30, 0x01, 0xB2}, "CN=no common name, O=ZYQ", "2024/03/04", "2025/03/04", "Test CA"},
          {{0x30, 0x01, 0xC3},
           Utf8ToAnsi("李四"),
           "2023/05/06",
           "2027/05/06",
           Utf8ToAnsi("測試憑證中心")}};
}

TEST_F(Win32DialogsTest, CertListShowsFourColumnsViewsAndChooses) {
  // The user's temporary folder, as the system names it.
  _putenv_s("TMPDIR", "");
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring viewerFile = std::wstring(temp) + L"temp.cer";
  DeleteFileW(viewerFile.c_str());
  const std::vector<CertificateCandidate> candidates = Candidates();
  int chosen = -1;
  int code = -1;
  {
    Driver driver([&viewerFile](Driver& d) {
      HWND dialog = d.WaitFor("選擇憑證匯出至憑證交換檔");
      HWND list = GetDlgItem(dialog, ids::kCertList);
      wchar_t className[64] = {};
      GetClassNameW(list, className, 64);
      EXPECT_STREQ(className, WC_LISTVIEWW);
      EXPECT_TRUE(GetWindowLongW(list, GWL_STYLE) & LVS_REPORT);
      HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
      EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 4);
      EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 3, 0), 180);
      EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
      EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 0);
      wchar_t cell[64] = {};
      LVITEMW item{};
      item.iSubItem = 3;
      item.pszText = cell;
      item.cchTextMax = 64;
      SendMessageW(list, LVM_GETITEMTEXTW, 2, reinterpret_cast<LPARAM>(&item));
      EXPECT_STREQ(cell, L"測試憑證中心");
      Driver::Shoot("201");
      // Row 2 selected, View writes its certificate for the system's viewer.
      LVITEMW state{};
      state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
      state.state = LVIS_SELECTED | LVIS_FOCUSED;
      SendMessageW(list, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&state));
      SendMessageW(GetDlgItem(dialog, ids::kViewButton), BM_CLICK, 0, 0);
      std::ifstream written(std::filesystem::path(viewerFile), std::ios::binary);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}),
                std::string("\x30\x01\xC3", 3));
      EXPECT_TRUE(IsWindowVisible(dialog));
      SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
      d.WaitGone(dialog);
    });
    code = ChooseCertificate(candidates, chosen);
  }
  EXPECT_EQ(code, kDialogOk);
  EXPECT_EQ(chosen, 2);
}

TEST_F(Win32DialogsTest, BarePickersAnswerCancelAndTheInitialFolder) {
  std::string path = "unchanged";
  int code = -1;
  {
    Driver driver([](Driver& d) {
      HWND picker = d.WaitFor("請選擇檔案");
      d.Answer(picker, IDCANCEL);
    });
    code = PromptFileToHash(path);
  }
  EXPECT_EQ(code, kDialogCancelled);
  EXPECT_EQ(path, "unchanged");

  std::string folder;
  {
    Driver driver([](Driver& d) {
      HWND picker = d.WaitForNew(nullptr);
      EXPECT_TRUE(Driver::ShowsText(picker, "請選擇檔案儲存路徑 :"));
      d.Answer(picker, IDOK);
    });
    folder = PromptLocalFolder("C:\\windows", "");
  }
  EXPECT_EQ(folder, "C:\\windows");
}

struct TextPart {
  std::string part;
  bool found = false;
};

BOOL CALLBACK FindTextPart(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<TextPart*>(data);
  search->found = Text(child).find(search->part) != std::string::npos;
  return !search->found;
}

// The host's confirmation before a user-protected key is used: a message box naming the
// container, Cancel the default; OK allows and Cancel refuses.
TEST_F(Win32DialogsTest, KeyAccessMessageBoxAnswersBothWays) {
  const std::string container = "ZYQ-金鑰-容器";
  for (const int button : {IDOK, IDCANCEL}) {
    bool allowed = button != IDOK;
    {
      Driver driver([&container, button](Driver& d) {
        HWND box = d.WaitFor("確認使用私密金鑰");
        TextPart search{container};
        EnumChildWindows(box, &FindTextPart, reinterpret_cast<LPARAM>(&search));
        EXPECT_TRUE(search.found) << "the message names the container";
        EXPECT_TRUE(GetWindowLongW(GetDlgItem(box, IDCANCEL), GWL_STYLE) & BS_DEFPUSHBUTTON)
            << "Cancel is the default";
        EXPECT_FALSE(GetWindowLongW(GetDlgItem(box, IDOK), GWL_STYLE) & BS_DEFPUSHBUTTON);
        d.Answer(box, button);
      });
      allowed = platform::CurrentDialogHost().ConfirmKeyAccess(container);
    }
    EXPECT_EQ(allowed, button == IDOK) << button;
  }
}

// Without a display the system cannot create a dialog: each launcher says so at once.
TEST(Win32DialogsNoDesktopTest, DialogsAreNotCreated) {
  if (std::getenv("ZYQ_NO_DESKTOP") == nullptr) GTEST_SKIP() << "a desktop is present";
  _putenv_s("ZYQSEC_UI", "win32");
  std::string folder = "C:\\windows";
  std::string file = "a.pfx";
  SecretString password;
  EXPECT_EQ(PromptRegisterInfo(folder, file, password, 0, 0), kDialogNotCreated);
  EXPECT_EQ(PromptCertFolder(folder), kDialogNotCreated);
  const std::vector<CertificateCandidate> candidates = Candidates();
  int chosen = -1;
  EXPECT_EQ(ChooseCertificate(candidates, chosen), kNoCertificateChosen);
  EXPECT_EQ(chosen, -1);
}

}  // namespace
}  // namespace zyq::ui
