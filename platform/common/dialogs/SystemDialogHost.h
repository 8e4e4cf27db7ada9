// The hosts of the system the process runs on, which each port provides: the dialog host a
// ZYQSEC_UI value other than "script:FILE" names.
#pragma once

#include <memory>
#include <string_view>

#include "platform/DialogHost.h"

namespace zyq::platform::common {

// The host for the setting ("" = the system's default choice); never null. Values the system
// does not know select the none host, so a mistyped setting never leaves a process waiting.
std::unique_ptr<DialogHost> CreateSystemDialogHost(std::string_view setting);

}  // namespace zyq::platform::common
