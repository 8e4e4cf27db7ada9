// The host used when no dialog can be shown (ZYQSEC_UI=none, or no display and no terminal):
// no dialog can be created. Each ends at once with kNotCreated, so no process ever waits for an
// answer that cannot come, and callers can tell a headless process from a person's Cancel. The
// key-access confirmation, which has only allow and refuse, is refused.
#pragma once

#include "platform/common/dialogs/HostBase.h"

namespace zyq::platform::common {

class NoneHost final : public HostBase {
 protected:
  DialogAnswer ShowForm(FormSession&) override { return DialogAnswer::kNotCreated; }
  DialogAnswer ShowList(const ListDialog&, int&) override { return DialogAnswer::kNotCreated; }
  PickerOutcome ShowPicker(const PickerRequest&) override { return {}; }
  bool ShowKeyAccess(const KeyAccessPrompt&) override { return false; }
};

}  // namespace zyq::platform::common
