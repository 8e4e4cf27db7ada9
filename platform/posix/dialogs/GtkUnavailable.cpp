// Built instead of GtkHost.cpp when GTK 3 was not found: the "gtk" setting then falls back as
// it does without a display.
#include "platform/posix/dialogs/GtkAutomation.h"
#include "platform/posix/dialogs/GtkHost.h"

namespace zyq::platform::posix {

std::unique_ptr<DialogHost> TryCreateGtkHost() {
  return nullptr;
}

void SetGtkWindowObserverForTesting(WindowObserver) {}

bool GtkDisplayAvailable() {
  return false;
}

}  // namespace zyq::platform::posix
