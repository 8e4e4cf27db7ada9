// The dialog models on their own: bounds, enabling rules, path rules and what Browse changes.
#include <gtest/gtest.h>

#include "platform/Text.h"
#include "tests/ui/MachinePaths.h"
#include "ui/CertFileInfoDialog.h"
#include "ui/CertFolderDialog.h"
#include "ui/ChangePfxPasswordDialog.h"
#include "ui/DialogIds.h"
#include "ui/PasswordBounds.h"
#include "ui/PathRules.h"

namespace zyq::ui {
namespace {

using platform::FieldValues;

TEST(PasswordBoundsTest, SettlesAsTheTableSays) {
  struct Case {
    int min, max, wantMin, wantMax;
  };
  const Case cases[] = {{0, 0, 4, 20},  {6, 12, 6, 12},  {10, 0, 4, 10}, {30, 0, 4, 30},
                        {12, 6, 6, 12}, {-3, -1, 4, 20}, {1, 16, 1, 16}, {0, 8, 4, 8},
                        {5, 5, 5, 5},   {-5, 7, 4, 7}};
  for (const Case& c : cases) {
    EXPECT_EQ(SettlePasswordBounds(c.min, c.max), (PasswordBounds{c.wantMin, c.wantMax}))
        << c.min << "," << c.max;
  }
}

TEST(PathRulesTest, JoinAddsOneSeparatorOfThisMachine) {
  using test::MachinePath;
  EXPECT_EQ(JoinFolderAndFile(MachinePath("/home/u/certs"), "a.pfx"),
            MachinePath("/home/u/certs/a.pfx"));
  EXPECT_EQ(JoinFolderAndFile(MachinePath("/home/u/certs/"), "a.pfx"),
            MachinePath("/home/u/certs/a.pfx"));
  EXPECT_EQ(JoinFolderAndFile(MachinePath("/"), "a.pfx"), MachinePath("/a.pfx"));
}

TEST(PathRulesTest, SplitAtTheLastSeparatorOfThisMachine) {
  const auto check = [](std::string_view slashed, std::string_view folder, std::string_view file) {
    const SplitPath split = SplitFullPath(test::MachinePath(slashed));
    EXPECT_EQ(split.folder, test::MachinePath(folder)) << slashed;
    EXPECT_EQ(split.fileName, file) << slashed;
  };
  check("/key.p12", "/", "key.p12");
  check("/d/certs/a.pfx", "/d/certs", "a.pfx");
  check("/d/certs/", "/d/certs", "");
  // 許 is A5 5C in code page 950: its trail byte is a backslash, never a separator.
  const std::string ansi = platform::Utf8ToAnsi(test::MachinePath("/資料/許.pfx"));
  const SplitPath split = SplitFullPath(ansi);
  EXPECT_EQ(platform::AnsiToUtf8(split.folder), test::MachinePath("/資料"));
  EXPECT_EQ(platform::AnsiToUtf8(split.fileName), "許.pfx");
}

FieldValues Boxes(std::initializer_list<std::pair<int, std::string>> texts) {
  FieldValues values;
  for (const auto& [id, text] : texts) values.Set(id, text);
  return values;
}

TEST(CertFileInfoDialogTest, OkEnablingFollowsTheMinimumAtEachBoundary) {
  CertFileInfoDialog dialog;
  dialog.SetLengthBounds(0, 0);
  const platform::FormDialog form = dialog.Describe();
  for (int length = 0; length <= 20; ++length) {
    const FieldValues values = Boxes({{ids::kPasswordBox, std::string(length, 'x')}});
    EXPECT_EQ(form.okEnabled(values), length >= 4) << length;
  }
  // Characters, not bytes: three Chinese characters are still too few.
  EXPECT_FALSE(form.okEnabled(Boxes({{ids::kPasswordBox, "證券商"}})));
  EXPECT_TRUE(form.okEnabled(Boxes({{ids::kPasswordBox, "證券商a"}})));

  dialog.SetLengthBounds(1, 16);
  const platform::FormDialog com = dialog.Describe();
  EXPECT_FALSE(com.okEnabled(Boxes({{ids::kPasswordBox, ""}})));
  EXPECT_TRUE(com.okEnabled(Boxes({{ids::kPasswordBox, "x"}})));
}

const platform::DialogControl& ControlById(const platform::FormDialog& form, int id) {
  for (const auto& control : form.controls) {
    if (control.id == id) return control;
  }
  static const platform::DialogControl kNone;
  ADD_FAILURE() << "no control " << id;
  return kNone;
}

TEST(CertFileInfoDialogTest, DescribesTheTemplateWithTitleLimitAndLock) {
  CertFileInfoDialog dialog;
  dialog.SetTitle(platform::Utf8ToAnsi("請輸入簽章的憑證檔案資訊"));
  dialog.SetFolder(platform::Utf8ToAnsi(test::MachinePath("/home/u/ZYQ證券/")));
  dialog.SetFileName("*.pfx");
  dialog.SetLengthBounds(6, 12);
  dialog.SetBrowseLocked(true);
  const platform::FormDialog form = dialog.Describe();
  EXPECT_EQ(form.templateId, 202);
  EXPECT_EQ(form.caption, "請輸入簽章的憑證檔案資訊");
  EXPECT_EQ(ControlById(form, ids::kPathBox).text, test::MachinePath("/home/u/ZYQ證券/*.pfx"));
  EXPECT_TRUE(ControlById(form, ids::kPathBox).readOnly);
  EXPECT_EQ(ControlById(form, ids::kPasswordBox).limit, 12);
  EXPECT_TRUE(ControlById(form, ids::kPasswordBox).password);
  EXPECT_FALSE(ControlById(form, ids::kBrowseButton).enabled);
  EXPECT_TRUE(ControlById(form, platform::kIdOk).defaultButton);
  EXPECT_EQ(form.minLength, 6);
  EXPECT_EQ(form.maxLength, 12);

  // No title keeps the template's caption; no folder leaves the path box empty.
  CertFileInfoDialog plain;
  const platform::FormDialog plainForm = plain.Describe();
  EXPECT_EQ(plainForm.caption, "輸入憑證檔案資訊");
  EXPECT_EQ(ControlById(plainForm, ids::kPathBox).text, "");
  EXPECT_TRUE(ControlById(plainForm, ids::kBrowseButton).enabled);
}

TEST(CertFileInfoDialogTest, BrowseSplitsFilesAndKeepsFileNameInFolderMode) {
  using test::MachinePath;
  CertFileInfoDialog fileMode;
  fileMode.SetFolder(MachinePath("/old"));
  fileMode.SetFileName("*.pfx");
  platform::FormDialog form = fileMode.Describe();
  FieldValues values = Boxes({{ids::kPathBox, MachinePath("/old/*.pfx")}});
  const platform::PickerRequest picker = form.browsePicker(values);
  EXPECT_EQ(picker.kind, platform::PickerKind::kOpenFile);
  EXPECT_EQ(picker.title, "請選擇憑證檔案");
  EXPECT_EQ(picker.initial, MachinePath("/old/*.pfx"));
  ASSERT_EQ(picker.filters.size(), 2u);
  EXPECT_EQ(picker.filters[0].patterns, (std::vector<std::string>{"*.pfx", "*.p12"}));
  form.browsed(MachinePath("/key.p12"), values);
  EXPECT_EQ(fileMode.folder(), MachinePath("/"));
  EXPECT_EQ(fileMode.fileName(), "key.p12");
  EXPECT_EQ(values.Get(ids::kPathBox), MachinePath("/key.p12"));
  // A picker closed without a choice changes nothing.
  form.browsed(std::nullopt, values);
  EXPECT_EQ(fileMode.folder(), MachinePath("/"));
  EXPECT_EQ(values.Get(ids::kPathBox), MachinePath("/key.p12"));

  CertFileInfoDialog folderMode;
  folderMode.SetFolderMode(true);
  folderMode.SetFolder(MachinePath("/old"));
  folderMode.SetFileName("u1.pfx");
  form = folderMode.Describe();
  EXPECT_EQ(form.browsePicker(values).kind, platform::PickerKind::kFolder);
  EXPECT_EQ(form.browsePicker(values).title, "請選擇憑證檔案儲存路徑 :");
  form.browsed(MachinePath("/new/dir"), values);
  EXPECT_EQ(folderMode.folder(), MachinePath("/new/dir"));
  EXPECT_EQ(folderMode.fileName(), "u1.pfx");
  EXPECT_EQ(values.Get(ids::kPathBox), MachinePath("/new/dir/u1.pfx"));
}

TEST(ChangePfxPasswordDialogTest, MinimumAppliesToAllThreeBoxes) {
  ChangePfxPasswordDialog dialog;
  dialog.SetLengthBounds(0, 0);
  const platform::FormDialog form = dialog.Describe();
  EXPECT_EQ(form.caption, "變更憑證檔密碼");
  for (int id : {ids::kOldPasswordBox, ids::kNewPasswordBox, ids::kConfirmBox}) {
    EXPECT_EQ(ControlById(form, id).limit, 20);
    EXPECT_TRUE(ControlById(form, id).password);
  }
  const std::string four = "abcd";
  EXPECT_TRUE(form.okEnabled(Boxes(
      {{ids::kOldPasswordBox, four}, {ids::kNewPasswordBox, four}, {ids::kConfirmBox, four}})));
  for (int shortBox : {ids::kOldPasswordBox, ids::kNewPasswordBox, ids::kConfirmBox}) {
    FieldValues values = Boxes(
        {{ids::kOldPasswordBox, four}, {ids::kNewPasswordBox, four}, {ids::kConfirmBox, four}});
    values.Set(shortBox, "abc");
    EXPECT_FALSE(form.okEnabled(values)) << shortBox;
  }
  // The maximum is only the boxes' limit: different lengths above the minimum are fine.
  EXPECT_TRUE(form.okEnabled(Boxes({{ids::kOldPasswordBox, std::string(20, 'o')},
                                    {ids::kNewPasswordBox, "12345"},
                                    {ids::kConfirmBox, "1234567"}})));
}

TEST(CertFolderDialogTest, OkNeedsAFolderAndAnEmptyPickerAnswerEmptiesTheBox) {
  CertFolderDialog dialog;
  dialog.SetFolder(platform::Utf8ToAnsi("/home/u/ZYQ證券"));
  const platform::FormDialog form = dialog.Describe();
  EXPECT_EQ(form.caption, "選擇憑證路徑");
  EXPECT_EQ(ControlById(form, ids::kFolderBox).text, "/home/u/ZYQ證券");
  EXPECT_EQ(
      form.controls[0].text,
      "\u3000\u3000\u3000無法將憑證儲存至預設路徑,\n\u3000\u3000\u3000請選擇您想要儲存的憑證路徑"
      "\n\n憑證路徑 :");
  FieldValues values = Boxes({{ids::kFolderBox, "/home/u/ZYQ證券"}});
  EXPECT_TRUE(form.okEnabled(values));
  const platform::PickerRequest picker = form.browsePicker(values);
  EXPECT_EQ(picker.kind, platform::PickerKind::kFolder);
  EXPECT_EQ(picker.title, "請選擇憑證檔存放路徑 :");
  EXPECT_EQ(picker.initial, "/home/u/ZYQ證券");
  form.browsed(std::string("/elsewhere"), values);
  EXPECT_EQ(values.Get(ids::kFolderBox), "/elsewhere");
  form.browsed(std::nullopt, values);
  EXPECT_EQ(values.Get(ids::kFolderBox), "");
  EXPECT_FALSE(form.okEnabled(values));
}

}  // namespace
}  // namespace zyq::ui
