// The test driver of the GTK host's windows (GtkAutomation.h): acts on a window as a user would,
// from inside the dialog's own loop. Part of the GTK module only.
#pragma once

#include <memory>

#include "platform/posix/dialogs/GtkAutomation.h"
#include "platform/posix/dialogs/GtkWindow.h"

namespace zyq::platform::posix {

// A driver of the shown window, valid while the window is.
std::unique_ptr<WindowDriver> NewWindowDriver(Shown& shown);

}  // namespace zyq::platform::posix
