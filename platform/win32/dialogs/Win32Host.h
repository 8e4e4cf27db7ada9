// The Windows dialog host (ZYQSEC_UI unset, empty or "win32"): real Win32 dialogs.
#pragma once

#include <memory>

#include "platform/DialogHost.h"

namespace zyq::platform::win32 {

std::unique_ptr<DialogHost> CreateWin32Host();

}  // namespace zyq::platform::win32
