#include "platform/common/dialogs/ScriptHost.h"

#include <charconv>
#include <fstream>
#include <utility>

#include "platform/Secret.h"

namespace zyq::platform::common {
namespace {

// A row number written in decimal, or -1.
int ParseRow(std::string_view text) {
  int value = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0) return -1;
  return value;
}

}  // namespace

ScriptLine ParseScriptLine(std::string_view text) {
  ScriptLine line;
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  size_t start = 0;
  bool first = true;
  line.valid = true;
  while (start <= text.size()) {
    size_t end = text.find('\t', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view part = text.substr(start, end - start);
    if (first) {
      line.ok = part == "ok";
      line.valid = line.ok || part == "cancel";
      first = false;
    } else if (!part.empty()) {
      const size_t eq = part.find('=');
      if (eq == std::string_view::npos || eq == 0) {
        line.valid = false;
      } else {
        line.fields.emplace_back(std::string(part.substr(0, eq)), std::string(part.substr(eq + 1)));
      }
    }
    start = end + 1;
  }
  return line;
}

std::optional<std::string> ReadScriptLine(const std::string& path, size_t index) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text;
  for (size_t i = 0; i <= index; ++i) {
    if (!std::getline(in, text)) return std::nullopt;
  }
  return text;
}

std::optional<ScriptLine> ScriptHost::Next() {
  std::optional<std::string> text = ReadScriptLine(path_, consumed_);
  if (!text) return std::nullopt;
  ++consumed_;
  ScriptLine line = ParseScriptLine(*text);
  SecureWipe(text->data(), text->size());
  return line;
}

DialogAnswer ScriptHost::ShowForm(FormSession& session) {
  std::optional<ScriptLine> line = Next();
  if (!line || !line->valid) return DialogAnswer::kCancel;
  bool understood = true;
  // Browse first: it only changes read-only boxes, which typing cannot touch.
  for (const auto& [name, value] : line->fields) {
    if (name == "browse") {
      session.Browsed(value.empty() ? std::nullopt : std::optional<std::string>(value));
    }
  }
  for (auto& [name, value] : line->fields) {
    if (name != "browse") {
      const DialogControl* box = session.BoxNamed(name);
      if (box == nullptr) {
        understood = false;
      } else {
        session.Type(box->id, value);
      }
    }
    SecureWipe(value.data(), value.size());
  }
  return understood && line->ok ? DialogAnswer::kOk : DialogAnswer::kCancel;
}

DialogAnswer ScriptHost::ShowList(const ListDialog& dialog, int& selected) {
  std::optional<ScriptLine> line = Next();
  if (!line || !line->valid) return DialogAnswer::kCancel;
  const int rows = static_cast<int>(dialog.rows.size());
  for (const auto& [name, value] : line->fields) {
    const int row = ParseRow(value);
    if ((name != "index" && name != "view") || row < 0 || row >= rows) {
      return DialogAnswer::kCancel;
    }
    selected = row;
    if (name == "view" && dialog.view) dialog.view(row);
  }
  return line->ok ? DialogAnswer::kOk : DialogAnswer::kCancel;
}

PickerOutcome ScriptHost::ShowPicker(const PickerRequest& request) {
  std::optional<ScriptLine> line = Next();
  if (!line || !line->valid || !line->ok) return Picked(std::nullopt);
  std::optional<std::string> path;
  for (const auto& [name, value] : line->fields) {
    if (name != "path") return Picked(std::nullopt);
    path = value;
  }
  // OK without a path takes what the picker started on, as pressing OK at once would: the
  // initial folder, or an initial file name that is not a wildcard pattern.
  if (!path && request.initial.find_first_of("*?") == std::string::npos) path = request.initial;
  return Picked(std::move(path));
}

bool ScriptHost::ShowKeyAccess(const KeyAccessPrompt&) {
  std::optional<ScriptLine> line = Next();
  return line && line->valid && line->ok && line->fields.empty();
}

}  // namespace zyq::platform::common
