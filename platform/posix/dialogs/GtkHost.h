// The GTK host (ZYQSEC_UI=gtk, and the default when a display is reachable), as the library
// reaches it: through the GTK module (GtkModule.h), loaded when the first GTK host is made.
#pragma once

#include <memory>

#include "platform/DialogHost.h"

namespace zyq::platform::posix {

// The GTK host, or null when no display is named, the GTK module (or GTK itself) cannot be
// loaded, or no display can be opened.
std::unique_ptr<DialogHost> TryCreateGtkHost();

}  // namespace zyq::platform::posix
