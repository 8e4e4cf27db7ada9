// The hosts of Windows by ZYQSEC_UI:
//
//   win32        Win32 dialogs on the calling thread; a dialog the system cannot create (no
//                desktop) ends as not created
//   none         no dialog can be created: every dialog ends at once as not created
//   unset, ""    win32
// Any other value selects none.
#include "platform/common/dialogs/NoneHost.h"
#include "platform/common/dialogs/SystemDialogHost.h"
#include "platform/win32/dialogs/Win32Host.h"

namespace zyq::platform::common {

std::unique_ptr<DialogHost> CreateSystemDialogHost(std::string_view setting) {
  if (setting.empty() || setting == "win32") return win32::CreateWin32Host();
  return std::make_unique<NoneHost>();
}

}  // namespace zyq::platform::common
