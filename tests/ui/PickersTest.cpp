#include "ui/Pickers.h"

#include <gtest/gtest.h>

#include "platform/Text.h"
#include "tests/ui/ScriptedDialogs.h"
#include "ui/DialogResults.h"

namespace zyq::ui {
namespace {

TEST(PickersTest, HashFilePickerReturnsTheChosenPathInAnsi) {
  test::ScriptedDialogs dialogs;
  dialogs.Answer({"ok\tpath=/data/證券/a.txt", "cancel"});
  std::string path = "unchanged";
  EXPECT_EQ(PromptFileToHash(path), kDialogOk);
  EXPECT_EQ(path, platform::Utf8ToAnsi("/data/證券/a.txt"));
  path = "unchanged";
  EXPECT_EQ(PromptFileToHash(path), kDialogCancelled);
  EXPECT_EQ(path, "unchanged");
  const auto lines = dialogs.Transcript();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            R"({"picker": "open-file", "caption": "請選擇檔案", "initial": "", "answer": "ok"})");
  EXPECT_EQ(lines[1], R"({"picker": "open-file", "caption": "請選擇檔案", "initial": "", )"
                      R"("answer": "cancel"})");
}

TEST(PickersTest, LocalFolderPickerUsesDefaultTitleAndStartFolder) {
  test::ScriptedDialogs dialogs;
  dialogs.Answer({"ok\tpath=/chosen", "cancel", "ok"});
  EXPECT_EQ(PromptLocalFolder("/start", ""), "/chosen");
  EXPECT_EQ(PromptLocalFolder("/start", platform::Utf8ToAnsi("選一個")), "");
  EXPECT_EQ(PromptLocalFolder(platform::Utf8ToAnsi("/起點"), "T"), platform::Utf8ToAnsi("/起點"));
  // No line left: cancelled, the empty text.
  EXPECT_EQ(PromptLocalFolder("/start", ""), "");
  const auto lines = dialogs.Transcript();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], R"({"picker": "folder", "caption": "請選擇檔案儲存路徑 :", )"
                      R"("initial": "/start", "answer": "ok"})");
  EXPECT_EQ(lines[1], R"({"picker": "folder", "caption": "選一個", "initial": "/start", )"
                      R"("answer": "cancel"})");
  EXPECT_EQ(lines[2],
            R"({"picker": "folder", "caption": "T", "initial": "/起點", "answer": "ok"})");
}

TEST(PickersTest, NoneHostCreatesNoPickerAndDoesNotWait) {
  // The test environment selects ZYQSEC_UI=none.
  std::string path = "kept";
  EXPECT_EQ(PromptFileToHash(path), kDialogNotCreated);
  EXPECT_EQ(path, "kept");
  EXPECT_EQ(PromptLocalFolder("/start", ""), "");
}

}  // namespace
}  // namespace zyq::ui
