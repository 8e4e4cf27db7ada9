// The GTK host (ZYQSEC_UI=gtk, and the default when a display is reachable): real modal windows
// laid out from the templates (dialog units scaled to pixels), GTK's own file and folder
// choosers, and the desktop's viewer for certificate files.
//
// GTK is started on first use, on the calling thread, without touching the process's locale;
// every dialog must then come from that thread, one at a time, as the engine's calls do.
#pragma once

#include <memory>

#include "platform/DialogHost.h"

namespace zyq::platform::posix {

// The GTK host, or null when no display can be opened (or GTK was not built in).
std::unique_ptr<DialogHost> TryCreateGtkHost();

}  // namespace zyq::platform::posix
