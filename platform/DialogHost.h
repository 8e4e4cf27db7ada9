// The seam between the engine's dialogs and whatever shows them to the user. The engine's
// dialog models (ui/) describe a dialog and apply its rules; a host shows it and reports what
// the user did. ZYQSEC_UI picks the host: "gtk", "console", "none" or "script:FILE".
//
// This header grows with the dialogs; every method runs modally on the calling thread.
#pragma once

#include <optional>
#include <string>

namespace zyq::platform {

class DialogHost {
 public:
  virtual ~DialogHost() = default;

  // Asks the user to allow the use of a user-protected private key. False means refused
  // (the caller fails with ERROR_CANCELLED).
  virtual bool ConfirmKeyAccess(const std::string& containerName) = 0;
};

// The process's host, chosen from ZYQSEC_UI at first use.
DialogHost& CurrentDialogHost();

// Replaces the process's host (tests); null restores the choice from the environment.
void SetDialogHostForTesting(DialogHost* host);

}  // namespace zyq::platform
