// The system's pickers for a picker description: the open-file dialog (GetOpenFileNameW) and
// the shell's folder picker (SHBrowseForFolderW).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/DialogHost.h"

namespace zyq::platform::win32 {

// Shows the picker the request describes, owned by `owner` (may be null), and returns the chosen
// path (UTF-8), or nullopt when the user closed it without a choice. `created` is set to false
// when the picker could not be shown at all.
std::optional<std::string> RunSystemPicker(HWND owner, const PickerRequest& request,
                                           bool* created = nullptr);

}  // namespace zyq::platform::win32
