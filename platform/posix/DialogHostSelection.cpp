// Choice of the process's dialog host.
#include <atomic>

#include "platform/DialogHost.h"

namespace zyq::platform {
namespace {

// The host used when no dialog can be created: every question is answered with Cancel.
class NoDialogHost final : public DialogHost {
 public:
  bool ConfirmKeyAccess(const std::string&) override { return false; }
};

std::atomic<DialogHost*> g_override{nullptr};

}  // namespace

DialogHost& CurrentDialogHost() {
  if (DialogHost* host = g_override.load()) return *host;
  static NoDialogHost none;
  return none;
}

void SetDialogHostForTesting(DialogHost* host) { g_override.store(host); }

}  // namespace zyq::platform
