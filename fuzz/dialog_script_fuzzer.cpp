// The script host's line format (ZYQSEC_UI=script:FILE): the input after its first byte is the
// script file; the first byte chooses which dialog (form, list, picker, key access) each line
// answers. Every line is parsed on its own, read back from the file, and answers one dialog
// through the host; one dialog more than there are lines finds none and is cancelled.
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/DialogHost.h"
#include "platform/common/dialogs/ScriptHost.h"

namespace {

namespace p = zyq::platform;
namespace pc = zyq::platform::common;

using zyq::fuzz::Check;

std::string ScriptPath() {
  static const std::string path = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/zyq-fuzz-script-XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) std::abort();
    close(fd);
    return pattern;
  }();
  return path;
}

// The file's lines as std::getline reads them: split at '\n'; a last line without one counts.
std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find('\n', start), text.size());
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// The line's parts between tabs, without a CR at its end.
std::vector<std::string_view> Parts(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::vector<std::string_view> parts;
  while (true) {
    const size_t tab = line.find('\t');
    parts.push_back(line.substr(0, tab));
    if (tab == std::string_view::npos) break;
    line.remove_prefix(tab + 1);
  }
  return parts;
}

// A parsed line is what the text says: for a valid line, its first word and its fields written
// again with tabs are the text without empty parts.
void CheckParse(std::string_view text, const pc::ScriptLine& line) {
  const std::vector<std::string_view> parts = Parts(text);
  Check(line.ok == (parts[0] == "ok"));
  if (line.valid) Check(parts[0] == "ok" || parts[0] == "cancel");
  std::string rebuilt(parts[0]), expected(parts[0]);
  size_t nonEmpty = 0;
  for (size_t i = 1; i < parts.size(); ++i) {
    if (parts[i].empty()) continue;
    ++nonEmpty;
    expected += '\t';
    expected += parts[i];
  }
  for (const auto& [name, value] : line.fields) {
    Check(!name.empty() && name.find_first_of("\t=") == std::string::npos);
    Check(value.find('\t') == std::string::npos);
    rebuilt += '\t' + name + '=' + value;
  }
  if (line.valid) {
    Check(line.fields.size() == nonEmpty);
    Check(rebuilt == expected);
  } else {
    Check(line.fields.size() < nonEmpty || (parts[0] != "ok" && parts[0] != "cancel"));
  }
}

bool OnlyFields(const pc::ScriptLine& line, std::initializer_list<std::string_view> names) {
  for (const auto& field : line.fields) {
    bool known = false;
    for (std::string_view n : names) known = known || field.first == n;
    if (!known) return false;
  }
  return true;
}

p::DialogControl Box(int id, std::string name, int limit, bool readOnly = false) {
  p::DialogControl box;
  box.id = id;
  box.kind = p::ControlKind::kEdit;
  box.scriptName = std::move(name);
  box.limit = limit;
  box.readOnly = readOnly;
  box.text = "initial text " + std::to_string(id);
  return box;
}

// A password form with a limit on two boxes, an OK rule and a Browse button.
void RunForm(p::DialogHost& host, const std::optional<pc::ScriptLine>& line) {
  p::FormDialog dialog;
  dialog.templateId = 203;
  dialog.controls = {Box(10, "password", 8), Box(11, "old", 0), Box(12, "new", 12),
                     Box(13, "confirm", 12), Box(14, "path", 0, true)};
  p::DialogControl browse;
  browse.id = 15;
  browse.kind = p::ControlKind::kButton;
  dialog.controls.push_back(browse);
  dialog.okEnabled = [](const p::FieldValues& v) { return v.Get(12) == v.Get(13); };
  dialog.browseButton = 15;
  dialog.browsePicker = [](const p::FieldValues&) { return p::PickerRequest{}; };
  dialog.browsed = [](const std::optional<std::string>& picked, p::FieldValues& v) {
    v.Set(14, picked.value_or("nothing picked"));
  };
  const p::FormOutcome outcome = host.RunForm(dialog);
  for (const p::DialogControl& control : dialog.controls) {
    if (control.kind != p::ControlKind::kEdit) continue;
    if (control.limit > 0)
      Check(p::CountCharacters(outcome.values.Get(control.id)) <= control.limit);
    // The text a box ends with: its first text or the last value the line types into it, cut
    // at its limit.
    std::string expected = p::CutToCharacters(control.text, control.limit);
    if (line && line->valid && !control.readOnly) {
      for (const auto& [name, value] : line->fields) {
        if (name == control.scriptName) expected = p::CutToCharacters(value, control.limit);
      }
    }
    if (!control.readOnly) Check(outcome.values.Get(control.id) == expected);
  }
  if (outcome.answer == p::DialogAnswer::kOk) {
    Check(line && line->valid && line->ok);
    Check(OnlyFields(*line, {"password", "old", "new", "confirm", "browse"}));
    Check(outcome.values.Get(12) == outcome.values.Get(13));
  }
  // The read-only box shows what the last Browse picked.
  if (line && line->valid) {
    std::optional<std::string> browsed;
    for (const auto& [name, value] : line->fields) {
      if (name == "browse") browsed = value.empty() ? "nothing picked" : value;
    }
    if (browsed) Check(outcome.values.Get(14) == *browsed);
  }
}

void RunList(p::DialogHost& host, const std::optional<pc::ScriptLine>& line, int rows) {
  p::ListDialog dialog;
  dialog.templateId = 201;
  for (int i = 0; i < rows; ++i) dialog.rows.push_back({"row " + std::to_string(i)});
  int views = 0;
  dialog.viewButton = 3;
  dialog.view = [&](int row) -> std::optional<std::string> {
    Check(row >= 0 && row < rows);
    ++views;
    return std::nullopt;
  };
  const p::ListOutcome outcome = host.RunList(dialog);
  Check(outcome.selected >= 0 && (rows == 0 ? outcome.selected == 0 : outcome.selected < rows));
  if (outcome.answer != p::DialogAnswer::kOk) return;
  Check(line && line->valid && line->ok && OnlyFields(*line, {"index", "view"}));
  int viewFields = 0;
  int last = 0;
  for (const auto& [name, value] : line->fields) {
    viewFields += name == "view" ? 1 : 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), last);
    Check(error == std::errc() && end == value.data() + value.size());
  }
  Check(views == viewFields);
  Check(outcome.selected == last);
}

void RunPicker(p::DialogHost& host, const std::optional<pc::ScriptLine>& line, bool pattern) {
  p::PickerRequest request;
  request.kind = pattern ? p::PickerKind::kOpenFile : p::PickerKind::kFolder;
  request.initial = pattern ? "*.pfx" : "/initial/folder";
  const p::PickerOutcome outcome = host.RunPicker(request);
  // A script always "creates" the picker: it answers OK with a path, or Cancel.
  Check(outcome.answer != p::DialogAnswer::kNotCreated);
  Check((outcome.answer == p::DialogAnswer::kOk) == !outcome.path.empty());
  std::optional<std::string> picked;
  if (outcome.answer == p::DialogAnswer::kOk) picked = outcome.path;
  if (!line || !line->valid || !line->ok || !OnlyFields(*line, {"path"})) {
    Check(!picked);
    return;
  }
  std::optional<std::string> expected;
  if (!pattern) expected = request.initial;
  for (const auto& field : line->fields) expected = field.second;
  if (expected && expected->empty()) expected.reset();
  Check(picked == expected);
}

void RunKeyAccess(p::DialogHost& host, const std::optional<pc::ScriptLine>& line) {
  const bool allowed = host.ConfirmKeyAccess("container");
  Check(allowed == (line && line->valid && line->ok && line->fields.empty()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 4096) return 0;
  const uint8_t kinds = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string path = ScriptPath();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) std::abort();
  }
  const std::vector<std::string> lines = Lines(text);
  if (lines.size() > 64) return 0;

  pc::ScriptHost host(path);
  for (size_t i = 0; i <= lines.size(); ++i) {
    const std::optional<std::string> read = pc::ReadScriptLine(path, i);
    std::optional<pc::ScriptLine> line;
    if (i < lines.size()) {
      Check(read && *read == lines[i]);
      line = pc::ParseScriptLine(lines[i]);
      CheckParse(lines[i], *line);
    } else {
      Check(!read);
    }
    switch ((kinds >> (2 * (i % 4))) & 3) {
      case 0:
        RunForm(host, line);
        break;
      case 1:
        RunList(host, line, static_cast<int>(i % 5));
        break;
      case 2:
        RunPicker(host, line, (i & 1) != 0);
        break;
      default:
        RunKeyAccess(host, line);
        break;
    }
  }
  return 0;
}
