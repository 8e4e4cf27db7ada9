// Choice of the process's dialog host from ZYQSEC_UI.
//
//   gtk          GTK windows; when no display can be opened, as if unset without a display
//   console      prompts on the terminal; none when standard input is not a terminal
//   none         no dialog can be created: every dialog ends at once as not created
//   script:FILE  answers from FILE
//   unset, ""    gtk when a display is reachable, else console when standard input is a
//                terminal, else none
// Any other value selects none, so a mistyped setting never leaves a process waiting.
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/DialogHost.h"
#include "platform/posix/dialogs/ConsoleHost.h"
#include "platform/posix/dialogs/GtkHost.h"
#include "platform/posix/dialogs/NoneHost.h"
#include "platform/posix/dialogs/ScriptHost.h"

namespace zyq::platform {
namespace {

// The console when standard input is a terminal; otherwise nobody could answer.
std::unique_ptr<DialogHost> MakeConsoleOrNone() {
  if (posix::ConsoleHost::IsTerminal(0)) return std::make_unique<posix::ConsoleHost>(0, 2);
  return std::make_unique<posix::NoneHost>();
}

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
  if (setting.empty() || setting == "gtk") {
    if (auto gtk = posix::TryCreateGtkHost()) return gtk;
    return MakeConsoleOrNone();
  }
  if (setting == "console") return MakeConsoleOrNone();
  return std::make_unique<posix::NoneHost>();
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
