// Choice of the process's dialog host from ZYQSEC_UI on Windows:
//
//   script:FILE  answers from FILE
//   none, unset  no dialog can be shown: every dialog is cancelled
// Any other value selects none as well, so a mistyped setting never leaves a process waiting.
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/DialogHost.h"
#include "platform/posix/dialogs/NoneHost.h"
#include "platform/posix/dialogs/ScriptHost.h"

namespace zyq::platform {
namespace {

struct Selection {
  std::mutex mutex;
  DialogHost* override = nullptr;
  std::string setting;
  std::unique_ptr<DialogHost> host;
  // Hosts replaced after the setting changed; kept alive, since callers may still hold them.
  std::vector<std::unique_ptr<DialogHost>> retired;
};

Selection& TheSelection() {
  static Selection selection;
  return selection;
}

}  // namespace

std::unique_ptr<DialogHost> CreateDialogHost(std::string_view setting) {
  constexpr std::string_view kScript = "script:";
  if (setting.substr(0, kScript.size()) == kScript) {
    return std::make_unique<posix::ScriptHost>(std::string(setting.substr(kScript.size())));
  }
  return std::make_unique<posix::NoneHost>();
}

DialogHost& CurrentDialogHost() {
  Selection& selection = TheSelection();
  std::lock_guard lock(selection.mutex);
  if (selection.override != nullptr) return *selection.override;
  const char* value = std::getenv("ZYQSEC_UI");
  const std::string setting = value != nullptr ? value : "";
  if (!selection.host || setting != selection.setting) {
    if (selection.host) selection.retired.push_back(std::move(selection.host));
    selection.host = CreateDialogHost(setting);
    selection.setting = setting;
  }
  return *selection.host;
}

void SetDialogHostForTesting(DialogHost* host) {
  Selection& selection = TheSelection();
  std::lock_guard lock(selection.mutex);
  selection.override = host;
}

}  // namespace zyq::platform
