#include "platform/common/dialogs/HostBase.h"

#include <cstdlib>

#include "platform/Secret.h"
#include "platform/common/dialogs/Transcript.h"

namespace zyq::platform::common {
namespace {

bool IsEditableBox(const DialogControl& control) {
  return control.kind == ControlKind::kEdit && !control.readOnly;
}

const char* AnswerName(DialogAnswer answer) {
  switch (answer) {
    case DialogAnswer::kOk:
      return "ok";
    case DialogAnswer::kCancel:
      return "cancel";
    case DialogAnswer::kNotCreated:
      break;
  }
  return "not-created";
}

// The web page the process acts for (set by the browsers' native host), empty when none.
std::string PageOrigin() {
  const char* origin = std::getenv("ZYQSEC_PAGE_ORIGIN");
  return origin != nullptr ? std::string(origin) : std::string();
}

constexpr std::string_view kPageOriginLabel = "來源網頁 : ";

// A dialog shown for a web page names the page: one more line below the template's controls,
// whose own texts stay as they are.
template <typename Dialog>
Dialog WithPageOrigin(const Dialog& dialog, const std::string& origin) {
  Dialog named = dialog;
  DialogControl label;
  label.kind = ControlKind::kLabel;
  label.text = std::string(kPageOriginLabel) + origin;
  label.rect = {7, dialog.height, dialog.width - 14, 10};
  named.controls.push_back(label);
  named.height += 14;
  return named;
}

}  // namespace

const char* PickerName(PickerKind kind) {
  return kind == PickerKind::kFolder ? "folder" : "open-file";
}

PickerOutcome Picked(std::optional<std::string> path) {
  if (!path || path->empty()) return {DialogAnswer::kCancel, {}};
  return {DialogAnswer::kOk, std::move(*path)};
}

FormSession::FormSession(const FormDialog& dialog) : dialog_(dialog) {
  for (const DialogControl& control : dialog.controls) {
    if (control.kind == ControlKind::kEdit) {
      values_.Set(control.id, CutToCharacters(control.text, control.limit));
    }
  }
}

const DialogControl* FormSession::Control(int id) const {
  for (const DialogControl& control : dialog_.controls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

const DialogControl* FormSession::BoxNamed(std::string_view scriptName) const {
  for (const DialogControl& control : dialog_.controls) {
    if (IsEditableBox(control) && control.scriptName == scriptName) return &control;
  }
  return nullptr;
}

void FormSession::PullEditable(const std::function<std::string(int)>& readBox) {
  for (const DialogControl& control : dialog_.controls) {
    if (IsEditableBox(control)) {
      std::string text = readBox(control.id);
      Type(control.id, text);
      SecureWipe(text.data(), text.size());
    }
  }
}

void FormSession::PushReadOnly(const std::function<void(int, const std::string&)>& writeBox) const {
  for (const DialogControl& control : dialog_.controls) {
    if (control.kind == ControlKind::kEdit && control.readOnly) {
      writeBox(control.id, values_.Get(control.id));
    }
  }
}

bool FormSession::Type(int id, std::string_view utf8) {
  const DialogControl* control = Control(id);
  if (control == nullptr || !IsEditableBox(*control)) return false;
  values_.Set(id, CutToCharacters(utf8, control->limit));
  return true;
}

bool FormSession::OkEnabled() const {
  return !dialog_.okEnabled || dialog_.okEnabled(values_);
}

bool FormSession::BrowseEnabled() const {
  if (dialog_.browseButton == 0 || !dialog_.browsePicker || !dialog_.browsed) return false;
  const DialogControl* button = Control(dialog_.browseButton);
  return button != nullptr && button->enabled;
}

PickerRequest FormSession::BrowsePicker() const {
  return dialog_.browsePicker ? dialog_.browsePicker(values_) : PickerRequest{};
}

void FormSession::Browsed(const std::optional<std::string>& picked) {
  if (BrowseEnabled()) dialog_.browsed(picked, values_);
}

bool HostBase::ConfirmKeyAccess(const std::string& containerName) {
  KeyAccessPrompt prompt;
  prompt.caption = "確認使用私密金鑰";
  prompt.message = "應用程式要求使用受保護的私密金鑰:\n" + containerName + "\n是否允許?";
  const std::string origin = PageOrigin();
  if (!origin.empty()) prompt.message += "\n" + std::string(kPageOriginLabel) + origin;
  const bool allowed = ShowKeyAccess(prompt);
  JsonLine line;
  line.Add("picker", std::string_view("key-access"));
  line.Add("caption", prompt.caption);
  if (!origin.empty()) line.Add("origin", origin);
  line.Add("answer", std::string_view(allowed ? "ok" : "cancel"));
  AppendTranscript(line);
  return allowed;
}

FormOutcome HostBase::RunForm(const FormDialog& model) {
  const std::string origin = PageOrigin();
  const FormDialog dialog = origin.empty() ? model : WithPageOrigin(model, origin);
  FormSession session(dialog);
  JsonLine line;
  line.Add("template", dialog.templateId);
  line.Add("caption", dialog.caption);
  if (!origin.empty()) line.Add("origin", origin);
  for (const DialogControl& control : dialog.controls) {
    if (!control.transcriptName.empty() && !control.password) {
      line.Add(control.transcriptName, session.values().Get(control.id));
    }
  }
  if (dialog.browseButton != 0) line.Add("browse_enabled", session.BrowseEnabled());
  if (dialog.minLength >= 0) line.Add("min", dialog.minLength);
  if (dialog.maxLength >= 0) line.Add("max", dialog.maxLength);

  DialogAnswer answer = ShowForm(session);
  // Whatever the host did, no box holds more than its limit and OK obeys the rules.
  FormOutcome outcome;
  for (const DialogControl& control : dialog.controls) {
    if (control.kind == ControlKind::kEdit) {
      outcome.values.Set(control.id,
                         CutToCharacters(session.values().Get(control.id), control.limit));
    }
  }
  const char* answerName = AnswerName(answer);
  if (answer == DialogAnswer::kOk && dialog.okEnabled && !dialog.okEnabled(outcome.values)) {
    answer = DialogAnswer::kCancel;
    answerName = "ok-disabled";
  }
  outcome.answer = answer;
  line.Add("answer", std::string_view(answerName));
  AppendTranscript(line);
  return outcome;
}

ListOutcome HostBase::RunList(const ListDialog& model) {
  const std::string origin = PageOrigin();
  const ListDialog dialog = origin.empty() ? model : WithPageOrigin(model, origin);
  int selected = 0;
  DialogAnswer answer = ShowList(dialog, selected);
  if (selected < 0 || selected >= static_cast<int>(dialog.rows.size())) selected = 0;
  JsonLine line;
  line.Add("template", dialog.templateId);
  line.Add("caption", dialog.caption);
  if (!origin.empty()) line.Add("origin", origin);
  line.Add("rows", dialog.rows);
  line.Add("selected", selected);
  line.Add("answer", std::string_view(AnswerName(answer)));
  AppendTranscript(line);
  return {answer, selected};
}

PickerOutcome HostBase::RunPicker(const PickerRequest& model) {
  // A bare picker has no room for another line: its title names the page after its own text.
  const std::string origin = PageOrigin();
  PickerRequest request = model;
  if (!origin.empty()) request.title += " (" + std::string(kPageOriginLabel) + origin + ")";
  PickerOutcome outcome = ShowPicker(request);
  if (outcome.answer != DialogAnswer::kOk) outcome.path.clear();
  if (outcome.answer == DialogAnswer::kOk && outcome.path.empty()) {
    outcome.answer = DialogAnswer::kCancel;
  }
  JsonLine line;
  line.Add("picker", std::string_view(PickerName(request.kind)));
  line.Add("caption", model.title);
  if (!origin.empty()) line.Add("origin", origin);
  line.Add("initial", request.initial);
  line.Add("answer", std::string_view(AnswerName(outcome.answer)));
  AppendTranscript(line);
  return outcome;
}

}  // namespace zyq::platform::common
