// The script host (ZYQSEC_UI=script:FILE): answers dialogs from a file, for tests and
// unattended use.
//
// Each dialog takes the next unread line of the file, which is read afresh at every dialog, so a
// caller may append lines between operations; when no line is left the dialog is cancelled. A
// line is "ok" or "cancel", then TAB-separated name=value fields (UTF-8):
//   password, old, new, confirm  the text typed into that box (cut at the box's limit)
//   browse                       Browse / Choose folder pressed and this path picked
//                                (an empty value: the picker closed without a choice)
//   path                         the answer of a bare file or folder picker
//   index                        the row chosen in a list (from 0)
//   view                         View pressed on that row first (may repeat)
// Fields left out leave the box as it was. Anything else on the line (an unknown first word, a
// row that does not exist) makes the dialog end with Cancel: a script never chooses by accident.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/common/dialogs/HostBase.h"

namespace zyq::platform::common {

struct ScriptLine {
  bool ok = false;     // the first word is "ok"
  bool valid = false;  // the first word is "ok" or "cancel" and every field has a name
  std::vector<std::pair<std::string, std::string>> fields;
};

ScriptLine ParseScriptLine(std::string_view text);

// Line number `index` (from 0) of the file, without its line end; nullopt when the file has
// fewer lines or cannot be read. A last line without a line end counts.
std::optional<std::string> ReadScriptLine(const std::string& path, size_t index);

class ScriptHost final : public HostBase {
 public:
  explicit ScriptHost(std::string path) : path_(std::move(path)) {}

 protected:
  DialogAnswer ShowForm(FormSession& session) override;
  DialogAnswer ShowList(const ListDialog& dialog, int& selected) override;
  PickerOutcome ShowPicker(const PickerRequest& request) override;
  bool ShowKeyAccess(const KeyAccessPrompt& prompt) override;

 private:
  // The next line, consumed; nullopt when none is left.
  std::optional<ScriptLine> Next();

  std::string path_;
  size_t consumed_ = 0;
};

}  // namespace zyq::platform::common
