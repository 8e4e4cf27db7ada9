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
  std::optional<std::string> picked = platform::CurrentDialogHost().RunPicker(request);
  if (!picked) return kDialogCancelled;
  path = platform::Utf8ToAnsi(*picked);
  return kDialogOk;
}

std::string PromptLocalFolder(const std::string& initPath, const std::string& title) {
  platform::PickerRequest request;
  request.kind = platform::PickerKind::kFolder;
  request.title =
      title.empty() ? std::string(text::kLocalFolderPickerTitle) : platform::AnsiToUtf8(title);
  request.initial = platform::AnsiToUtf8(initPath);
  std::optional<std::string> picked = platform::CurrentDialogHost().RunPicker(request);
  return picked ? platform::Utf8ToAnsi(*picked) : std::string();
}

}  // namespace zyq::ui
