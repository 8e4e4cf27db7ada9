// The hosts of Windows by ZYQSEC_UI: none for every value, until the port has dialogs of its
// own. No dialog can be created, so every dialog ends at once as not created.
#include "platform/common/dialogs/NoneHost.h"
#include "platform/common/dialogs/SystemDialogHost.h"

namespace zyq::platform::common {

std::unique_ptr<DialogHost> CreateSystemDialogHost(std::string_view /*setting*/) {
  return std::make_unique<NoneHost>();
}

}  // namespace zyq::platform::common
