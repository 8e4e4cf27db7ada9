#include "ui/Pickers.h"

#include "platform/DialogHost.h"
#include "platform/Text.h"
#include "ui/DialogResults.h"
#include "ui/DialogTexts.h"

namespace zyq::ui {

int PromptFileToHash(std::string& path) {
  platform::PickerRequest request;
  request.kind = platform::PickerKind::kOpenFile;
  request.title = text::kHashFilePickerTitle;
  request.filters.push_back({std::string(text::kAllFilesDescription), {"*.*"}});
  request.defaultExtension = "*.*";
  const platform::PickerOutcome picked = platform::CurrentDialogHost().RunPicker(request);
  const int code = DialogCode(picked.answer);
  if (code == kDialogOk) path = platform::Utf8ToAnsi(picked.path);
  return code;
}

std::string PromptLocalFolder(const std::string& initPath, const std::string& title) {
  platform::PickerRequest request;
  request.kind = platform::PickerKind::kFolder;
  request.title =
      title.empty() ? std::string(text::kLocalFolderPickerTitle) : platform::AnsiToUtf8(title);
  request.initial = platform::AnsiToUtf8(initPath);
  const platform::PickerOutcome picked = platform::CurrentDialogHost().RunPicker(request);
  return picked.answer == platform::DialogAnswer::kOk ? platform::Utf8ToAnsi(picked.path)
                                                      : std::string();
}

}  // namespace zyq::ui
