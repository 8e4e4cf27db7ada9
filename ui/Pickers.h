// The bare pickers the engine shows without a dialog of its own. Texts are ANSI.
#pragma once

#include <string>

namespace zyq::ui {

// The open-file picker of HashFile: title "請選擇檔案", every file shown, nothing preset.
// kDialogOk with the chosen full path in `path`, or kDialogCancelled (or kDialogNotCreated when
// the picker could not be created) with `path` unchanged.
int PromptFileToHash(std::string& path);

// The folder picker of SelectLocalFolder: starts at initPath (when it names a folder), with the
// title given ("請選擇檔案儲存路徑 :" when empty). The chosen folder, or "" when cancelled or when
// the picker could not be created.
std::string PromptLocalFolder(const std::string& initPath, const std::string& title);

}  // namespace zyq::ui
