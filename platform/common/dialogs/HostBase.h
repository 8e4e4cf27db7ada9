// What every host of this machine shares: the rules a dialog description carries are applied
// here, once, whatever shows the dialog (a box never returns more characters than its limit, an
// OK pressed while the rules disable it counts as Cancel, a disabled Browse button does nothing),
// and here every dialog is written to the transcript. A concrete host only shows the dialog and
// reports what the user did.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/DialogHost.h"

namespace zyq::platform::common {

// A form dialog while it is shown: its boxes' texts and the rules that act on them.
class FormSession {
 public:
  explicit FormSession(const FormDialog& dialog);

  const FormDialog& dialog() const { return dialog_; }
  const FieldValues& values() const { return values_; }
  FieldValues& values() { return values_; }

  // The control with this id, or null.
  const DialogControl* Control(int id) const;
  // The editable box that a script names ("password", ...), or null.
  const DialogControl* BoxNamed(std::string_view scriptName) const;

  // Replaces the text of an editable box, cut at its limit. False (and nothing changes) when
  // id is not an editable box.
  bool Type(int id, std::string_view utf8);

  // A toolkit host's boxes: every editable box takes the text readBox(id) gives (wiped once
  // taken, as it may be a password); every read-only box is shown through writeBox(id, text).
  void PullEditable(const std::function<std::string(int)>& readBox);
  void PushReadOnly(const std::function<void(int, const std::string&)>& writeBox) const;

  bool OkEnabled() const;
  bool BrowseEnabled() const;
  // The picker that Browse opens now.
  PickerRequest BrowsePicker() const;
  // Hands the picker's answer to the dialog's rule. Does nothing while Browse is disabled.
  void Browsed(const std::optional<std::string>& picked);

 private:
  const FormDialog& dialog_;
  FieldValues values_;
};

// The texts of the key-access confirmation.
struct KeyAccessPrompt {
  std::string caption;
  std::string message;
};

class HostBase : public DialogHost {
 public:
  bool ConfirmKeyAccess(const std::string& containerName) final;
  FormOutcome RunForm(const FormDialog& dialog) final;
  ListOutcome RunList(const ListDialog& dialog) final;
  PickerOutcome RunPicker(const PickerRequest& request) final;

 protected:
  // Each Show answers kNotCreated when the host cannot create the dialog at all.
  // Shows the form until the user closes it; the session holds the boxes' texts at the end.
  virtual DialogAnswer ShowForm(FormSession& session) = 0;
  // Shows the list; selected starts at 0 and holds the selected row at the end.
  virtual DialogAnswer ShowList(const ListDialog& dialog, int& selected) = 0;
  virtual PickerOutcome ShowPicker(const PickerRequest& request) = 0;
  virtual bool ShowKeyAccess(const KeyAccessPrompt& prompt) = 0;
};

// The picker's kind as the transcript names it.
const char* PickerName(PickerKind kind);

// The outcome of a picker that was shown: OK with the path, or Cancel when nothing was chosen.
PickerOutcome Picked(std::optional<std::string> path);

}  // namespace zyq::platform::common
