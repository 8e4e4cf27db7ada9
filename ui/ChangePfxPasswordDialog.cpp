#include "ui/ChangePfxPasswordDialog.h"

#include "platform/Text.h"
#include "ui/CertFileInfoDialog.h"
#include "ui/DialogIds.h"
#include "ui/DialogTexts.h"
#include "ui/PathRules.h"
#include "ui/TemplateControls.h"

namespace zyq::ui {

using platform::DialogAnswer;
using platform::FieldValues;
using platform::FormDialog;

void ChangePfxPasswordDialog::SetLengthBounds(int minLength, int maxLength) {
  bounds_ = SettlePasswordBounds(minLength, maxLength);
}

std::string ChangePfxPasswordDialog::PathBoxText() const {
  if (folder_.empty()) return std::string();
  return platform::AnsiToUtf8(JoinFolderAndFile(folder_, fileName_));
}

bool ChangePfxPasswordDialog::OkEnabled(const FieldValues& values) const {
  for (int id : {ids::kOldPasswordBox, ids::kNewPasswordBox, ids::kConfirmBox}) {
    if (platform::CountCharacters(values.Get(id)) < bounds_.minLength) return false;
  }
  return true;
}

void ChangePfxPasswordDialog::Browsed(const std::optional<std::string>& picked,
                                      FieldValues& values) {
  if (!picked || picked->empty()) return;
  SplitPath split = SplitFullPath(platform::Utf8ToAnsi(*picked));
  folder_ = std::move(split.folder);
  fileName_ = std::move(split.fileName);
  values.Set(ids::kPathBox, *picked);
}

FormDialog ChangePfxPasswordDialog::Describe() {
  FormDialog dialog;
  dialog.templateId = ids::kChangePasswordTemplate;
  dialog.caption = text::kChangePasswordCaption;
  dialog.width = 141;
  dialog.height = 182;
  const int limit = bounds_.maxLength;
  dialog.controls = {
      Label(text::kPathLabel, {7, 10, 74, 10}),
      Button(ids::kBrowseButton, text::kBrowse, {84, 7, 50, 14}),
      PathBox(ids::kPathBox, PathBoxText(), {7, 25, 127, 35}, true, "path_box"),
      Label(text::kOldPasswordLabel, {7, 64, 74, 10}),
      PasswordBox(ids::kOldPasswordBox, {7, 77, 127, 14}, limit, "old"),
      Label(text::kNewPasswordLabel, {7, 96, 74, 10}),
      PasswordBox(ids::kNewPasswordBox, {7, 110, 127, 14}, limit, "new"),
      Label(text::kConfirmPasswordLabel, {7, 129, 74, 10}),
      PasswordBox(ids::kConfirmBox, {7, 143, 127, 14}, limit, "confirm"),
      DefaultButton(platform::kIdOk, text::kOk, {14, 161, 50, 14}),
      Button(platform::kIdCancel, text::kCancel, {76, 161, 50, 14}),
  };
  dialog.minLength = bounds_.minLength;
  dialog.maxLength = bounds_.maxLength;
  dialog.okEnabled = [this](const FieldValues& values) { return OkEnabled(values); };
  dialog.browseButton = ids::kBrowseButton;
  dialog.browsePicker = [](const FieldValues& values) {
    return PfxFilePicker(values.Get(ids::kPathBox));
  };
  dialog.browsed = [this](const std::optional<std::string>& picked, FieldValues& values) {
    Browsed(picked, values);
  };
  return dialog;
}

DialogAnswer ChangePfxPasswordDialog::Run(platform::DialogHost& host) {
  oldPassword_.Clear();
  newPassword_.Clear();
  confirmation_.Clear();
  const platform::FormOutcome outcome = host.RunForm(Describe());
  if (outcome.answer == DialogAnswer::kOk) {
    oldPassword_ = SecretString(BoxText(outcome.values, ids::kOldPasswordBox));
    newPassword_ = SecretString(BoxText(outcome.values, ids::kNewPasswordBox));
    confirmation_ = SecretString(BoxText(outcome.values, ids::kConfirmBox));
  } else {
    folder_.clear();
    fileName_.clear();
  }
  return outcome.answer;
}

}  // namespace zyq::ui
