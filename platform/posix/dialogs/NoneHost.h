// The host used when no dialog can be shown (ZYQSEC_UI=none, or no display and no terminal):
// every dialog ends at once with Cancel, so no process ever waits for an answer that cannot come.
#pragma once

#include "platform/posix/dialogs/HostBase.h"

namespace zyq::platform::posix {

class NoneHost final : public HostBase {
 protected:
  DialogAnswer ShowForm(FormSession&) override { return DialogAnswer::kCancel; }
  DialogAnswer ShowList(const ListDialog&, int&) override { return DialogAnswer::kCancel; }
  std::optional<std::string> ShowPicker(const PickerRequest&) override { return std::nullopt; }
  bool ShowKeyAccess(const KeyAccessPrompt&) override { return false; }
};

}  // namespace zyq::platform::posix
