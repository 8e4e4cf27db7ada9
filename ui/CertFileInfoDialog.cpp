#include "ui/CertFileInfoDialog.h"

#include "platform/Text.h"
#include "ui/DialogIds.h"
#include "ui/DialogTexts.h"
#include "ui/PathRules.h"
#include "ui/TemplateControls.h"

namespace zyq::ui {

using platform::DialogAnswer;
using platform::FieldValues;
using platform::FormDialog;
using platform::PickerKind;
using platform::PickerRequest;

platform::PickerRequest PfxFilePicker(std::string initialUtf8) {
  PickerRequest request;
  request.kind = PickerKind::kOpenFile;
  request.title = text::kPfxFilePickerTitle;
  request.initial = std::move(initialUtf8);
  request.filters.push_back({std::string(text::kPfxFilterDescription), {"*.pfx", "*.p12"}});
  request.filters.push_back({std::string(text::kAllFilesDescription), {"*.*"}});
  request.defaultExtension = "*.pfx";
  return request;
}

void CertFileInfoDialog::SetLengthBounds(int minLength, int maxLength) {
  bounds_ = SettlePasswordBounds(minLength, maxLength);
}

std::string CertFileInfoDialog::PathBoxText() const {
  if (folder_.empty()) return std::string();
  return platform::AnsiToUtf8(JoinFolderAndFile(folder_, fileName_));
}

bool CertFileInfoDialog::OkEnabled(const FieldValues& values) const {
  return platform::CountCharacters(values.Get(ids::kPasswordBox)) >= bounds_.minLength;
}

PickerRequest CertFileInfoDialog::BrowsePicker(const FieldValues& values) const {
  if (!folderMode_) return PfxFilePicker(values.Get(ids::kPathBox));
  PickerRequest request;
  request.kind = PickerKind::kFolder;
  request.title = text::kPfxFolderPickerTitle;
  return request;
}

void CertFileInfoDialog::Browsed(const std::optional<std::string>& picked, FieldValues& values) {
  if (!picked || picked->empty()) return;
  if (folderMode_) {
    folder_ = platform::Utf8ToAnsi(*picked);
    values.Set(ids::kPathBox, PathBoxText());
  } else {
    SplitPath split = SplitFullPath(platform::Utf8ToAnsi(*picked));
    folder_ = std::move(split.folder);
    fileName_ = std::move(split.fileName);
    values.Set(ids::kPathBox, *picked);
  }
}

FormDialog CertFileInfoDialog::Describe() {
  FormDialog dialog;
  dialog.templateId = ids::kCertFileInfoTemplate;
  dialog.caption =
      title_.empty() ? std::string(text::kCertFileInfoCaption) : platform::AnsiToUtf8(title_);
  dialog.width = 141;
  dialog.height = 116;
  auto browse = Button(ids::kBrowseButton, text::kBrowse, {84, 7, 50, 14});
  browse.enabled = !browseLocked_;
  dialog.controls = {
      Label(text::kPathLabel, {7, 10, 74, 10}),
      browse,
      PathBox(ids::kPathBox, PathBoxText(), {7, 25, 127, 35}, true, "path_box"),
      Label(text::kPasswordLabel, {7, 64, 74, 10}),
      PasswordBox(ids::kPasswordBox, {7, 77, 127, 14}, bounds_.maxLength, "password"),
      DefaultButton(platform::kIdOk, text::kOk, {13, 95, 50, 14}),
      Button(platform::kIdCancel, text::kCancel, {78, 95, 50, 14}),
  };
  dialog.minLength = bounds_.minLength;
  dialog.maxLength = bounds_.maxLength;
  dialog.okEnabled = [this](const FieldValues& values) { return OkEnabled(values); };
  dialog.browseButton = ids::kBrowseButton;
  dialog.browsePicker = [this](const FieldValues& values) { return BrowsePicker(values); };
  dialog.browsed = [this](const std::optional<std::string>& picked, FieldValues& values) {
    Browsed(picked, values);
  };
  return dialog;
}

DialogAnswer CertFileInfoDialog::Run(platform::DialogHost& host) {
  password_.Clear();
  const platform::FormOutcome outcome = host.RunForm(Describe());
  if (outcome.answer == DialogAnswer::kOk) {
    password_ = SecretString(BoxText(outcome.values, ids::kPasswordBox));
  } else {
    fileName_.clear();
    password_.Clear();
  }
  return outcome.answer;
}

}  // namespace zyq::ui
