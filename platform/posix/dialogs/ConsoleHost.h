// The console host (ZYQSEC_UI=console, and the default without a display when standard input
// is a terminal): shows each dialog as prompts on the terminal. Questions go to standard error,
// answers come from standard input; password boxes are read with echo turned off. The dialog's
// rules hold as on a desktop: a box keeps at most its limit, OK is refused while the rules
// disable it, a disabled Browse is not offered. The end of input cancels the dialog.
#pragma once

#include <optional>
#include <string>

#include "platform/common/dialogs/HostBase.h"

namespace zyq::platform::posix {

using common::FormSession;
using common::HostBase;
using common::KeyAccessPrompt;

class ConsoleHost final : public HostBase {
 public:
  // Reads from inFd and writes to outFd (not owned).
  ConsoleHost(int inFd, int outFd) : in_(inFd), out_(outFd) {}

  // True when fd is a terminal.
  static bool IsTerminal(int fd);

 protected:
  DialogAnswer ShowForm(FormSession& session) override;
  DialogAnswer ShowList(const ListDialog& dialog, int& selected) override;
  PickerOutcome ShowPicker(const PickerRequest& request) override;
  bool ShowKeyAccess(const KeyAccessPrompt& prompt) override;

 private:
  void Write(std::string_view text);
  // One line of input without its line end; nullopt at the end of input.
  std::optional<std::string> ReadLine();
  // Asks for a path; nullopt when the answer is empty or input ended.
  std::optional<std::string> AskPath(const PickerRequest& request);
  // Asks for each editable box in turn.
  bool FillBoxes(FormSession& session);
  void ShowBoxes(const FormSession& session);

  int in_;
  int out_;
};

}  // namespace zyq::platform::posix
