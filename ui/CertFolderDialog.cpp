#include "ui/CertFolderDialog.h"

#include "platform/Text.h"
#include "ui/DialogIds.h"
#include "ui/DialogTexts.h"
#include "ui/TemplateControls.h"

namespace zyq::ui {

using platform::DialogAnswer;
using platform::FieldValues;
using platform::FormDialog;

bool CertFolderDialog::OkEnabled(const FieldValues& values) {
  return !values.Get(ids::kFolderBox).empty();
}

FormDialog CertFolderDialog::Describe() {
  FormDialog dialog;
  dialog.templateId = ids::kCertFolderTemplate;
  dialog.caption = text::kCertFolderCaption;
  dialog.width = 196;
  dialog.height = 88;
  auto folderBox = PathBox(ids::kFolderBox, platform::AnsiToUtf8(folder_), {7, 46, 128, 16}, false,
                           "folder_box");
  dialog.controls = {
      Label(text::kCertFolderMessage, {7, 7, 176, 37}),
      folderBox,
      Button(ids::kChooseFolderButton, text::kChooseFolder, {139, 47, 50, 14}),
      DefaultButton(platform::kIdOk, text::kOk, {32, 67, 50, 14}),
      Button(platform::kIdCancel, text::kCancel, {115, 67, 50, 14}),
  };
  dialog.okEnabled = &CertFolderDialog::OkEnabled;
  dialog.browseButton = ids::kChooseFolderButton;
  dialog.browsePicker = [](const FieldValues& values) {
    platform::PickerRequest request;
    request.kind = platform::PickerKind::kFolder;
    request.title = text::kCertFolderPickerTitle;
    request.initial = values.Get(ids::kFolderBox);
    return request;
  };
  dialog.browsed = [](const std::optional<std::string>& picked, FieldValues& values) {
    values.Set(ids::kFolderBox, picked.value_or(std::string()));
  };
  return dialog;
}

DialogAnswer CertFolderDialog::Run(platform::DialogHost& host) {
  const platform::FormOutcome outcome = host.RunForm(Describe());
  if (outcome.answer == DialogAnswer::kOk) {
    folder_ = BoxText(outcome.values, ids::kFolderBox);
  }
  return outcome.answer;
}

}  // namespace zyq::ui
