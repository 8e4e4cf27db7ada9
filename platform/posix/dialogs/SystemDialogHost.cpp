// The hosts of this system by ZYQSEC_UI:
//
//   gtk          GTK windows; when no display can be opened, as if unset without a display
//   console      prompts on the terminal; none when standard input is not a terminal
//   none         no dialog can be created: every dialog ends at once as not created
//   unset, ""    gtk when a display is reachable, else console when standard input is a
//                terminal, else none
// Any other value selects none.
#include "platform/common/dialogs/SystemDialogHost.h"

#include "platform/common/dialogs/NoneHost.h"
#include "platform/posix/dialogs/ConsoleHost.h"
#include "platform/posix/dialogs/GtkHost.h"

namespace zyq::platform::common {
namespace {

// The console when standard input is a terminal; otherwise nobody could answer.
std::unique_ptr<DialogHost> MakeConsoleOrNone() {
  if (posix::ConsoleHost::IsTerminal(0)) return std::make_unique<posix::ConsoleHost>(0, 2);
  return std::make_unique<NoneHost>();
}

}  // namespace

std::unique_ptr<DialogHost> CreateSystemDialogHost(std::string_view setting) {
  if (setting.empty() || setting == "gtk") {
    if (auto gtk = posix::TryCreateGtkHost()) return gtk;
    return MakeConsoleOrNone();
  }
  if (setting == "console") return MakeConsoleOrNone();
  return std::make_unique<NoneHost>();
}

}  // namespace zyq::platform::common
