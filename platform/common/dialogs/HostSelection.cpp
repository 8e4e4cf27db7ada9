// Choice of the process's dialog host from ZYQSEC_UI, on every system:
//
//   script:FILE  answers from FILE
//   anything else the system's hosts (SystemDialogHost.h): on Linux gtk, console, none and the
//                default choice; on Windows win32 (real dialogs), none and the default choice
//
// The chosen host is made again when the variable changes, and the process shows one dialog at
// a time, whichever host shows it.
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/DialogHost.h"
#include "platform/common/dialogs/ScriptHost.h"
#include "platform/common/dialogs/SystemDialogHost.h"

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
    return std::make_unique<common::ScriptHost>(std::string(setting.substr(kScript.size())));
  }
  return common::CreateSystemDialogHost(setting);
}

namespace {

// The host that ZYQSEC_UI (or a test) selects now.
DialogHost& SelectedHost() {
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

// One dialog at a time in the process, whichever engine or thread asks: a second dialog waits
// until the first is closed. Recursive, so that a host may show a dialog from inside another
// (a key-access prompt while a form is open).
class OneDialogAtATime final : public DialogHost {
 public:
  bool ConfirmKeyAccess(const std::string& containerName) override {
    std::lock_guard lock(mutex_);
    return SelectedHost().ConfirmKeyAccess(containerName);
  }
  FormOutcome RunForm(const FormDialog& dialog) override {
    std::lock_guard lock(mutex_);
    return SelectedHost().RunForm(dialog);
  }
  ListOutcome RunList(const ListDialog& dialog) override {
    std::lock_guard lock(mutex_);
    return SelectedHost().RunList(dialog);
  }
  PickerOutcome RunPicker(const PickerRequest& request) override {
    std::lock_guard lock(mutex_);
    return SelectedHost().RunPicker(request);
  }

 private:
  std::recursive_mutex mutex_;
};

}  // namespace

DialogHost& CurrentDialogHost() {
  static OneDialogAtATime host;
  return host;
}

void SetDialogHostForTesting(DialogHost* host) {
  Selection& selection = TheSelection();
  std::lock_guard lock(selection.mutex);
  selection.override = host;
}

}  // namespace zyq::platform
