#include "platform/posix/dialogs/ConsoleHost.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Secret.h"

namespace zyq::platform::posix {

using common::Picked;
namespace {

// Turns the terminal's echo off for its lifetime (nothing when fd is not a terminal).
class EchoOff {
 public:
  explicit EchoOff(int fd) : fd_(fd) {
    if (tcgetattr(fd_, &saved_) != 0) return;
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK);
    quiet.c_lflag |= ECHONL;
    active_ = tcsetattr(fd_, TCSANOW, &quiet) == 0;
  }
  ~EchoOff() {
    if (active_) tcsetattr(fd_, TCSANOW, &saved_);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  int fd_;
  termios saved_{};
  bool active_ = false;
};

// The label that stands before control `index` in the template: the box's caption.
std::string LabelBefore(const FormDialog& dialog, size_t index) {
  for (size_t i = index; i-- > 0;) {
    const DialogControl& control = dialog.controls[i];
    if (control.kind == ControlKind::kLabel) return control.text;
    if (control.kind == ControlKind::kEdit) break;
  }
  return std::string();
}

std::string ButtonText(const FormDialog& dialog, int id, std::string_view fallback) {
  for (const DialogControl& control : dialog.controls) {
    if (control.id == id && control.kind == ControlKind::kButton) return control.text;
  }
  return std::string(fallback);
}

bool IsEditable(const DialogControl& control) {
  return control.kind == ControlKind::kEdit && !control.readOnly;
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
  size_t start = 0;
  while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) ++start;
  return text.substr(start);
}

}  // namespace

bool ConsoleHost::IsTerminal(int fd) {
  return isatty(fd) == 1;
}

void ConsoleHost::Write(std::string_view text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(out_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

std::optional<std::string> ConsoleHost::ReadLine() {
  std::string line;
  for (;;) {
    char c;
    const ssize_t n = ::read(in_, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      SecureWipe(line.data(), line.size());
      return std::nullopt;
    }
    if (c == '\n') break;
    line.push_back(c);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void ConsoleHost::ShowBoxes(const FormSession& session) {
  const FormDialog& dialog = session.dialog();
  for (size_t i = 0; i < dialog.controls.size(); ++i) {
    const DialogControl& control = dialog.controls[i];
    if (control.kind == ControlKind::kLabel) {
      // Labels of editable boxes are shown with their prompt.
      if (i + 1 < dialog.controls.size() && IsEditable(dialog.controls[i + 1])) continue;
      Write(control.text + "\n");
    } else if (control.kind == ControlKind::kEdit && control.readOnly) {
      Write("  " + session.values().Get(control.id) + "\n");
    }
  }
}

bool ConsoleHost::FillBoxes(FormSession& session) {
  const FormDialog& dialog = session.dialog();
  for (size_t i = 0; i < dialog.controls.size(); ++i) {
    const DialogControl& control = dialog.controls[i];
    if (!IsEditable(control)) continue;
    std::string prompt = LabelBefore(dialog, i);
    if (control.limit > 0) prompt += " (最多 " + std::to_string(control.limit) + " 個字元)";
    // Echo goes off before the prompt appears, so nothing typed after it is ever shown.
    std::optional<EchoOff> quiet;
    if (control.password) quiet.emplace(in_);
    Write(prompt + " ");
    std::optional<std::string> typed = ReadLine();
    quiet.reset();
    if (!typed) return false;
    if (CountCharacters(*typed) > control.limit && control.limit > 0) {
      Write("只取前 " + std::to_string(control.limit) + " 個字元\n");
    }
    session.Type(control.id, *typed);
    SecureWipe(typed->data(), typed->size());
  }
  return true;
}

DialogAnswer ConsoleHost::ShowForm(FormSession& session) {
  const FormDialog& dialog = session.dialog();
  Write("\n== " + dialog.caption + " ==\n");
  bool hasBoxes = false;
  for (const DialogControl& control : dialog.controls) hasBoxes = hasBoxes || IsEditable(control);
  const std::string okText = ButtonText(dialog, kIdOk, "OK");
  const std::string cancelText = ButtonText(dialog, kIdCancel, "Cancel");
  bool fill = hasBoxes;
  for (;;) {
    ShowBoxes(session);
    if (fill && !FillBoxes(session)) return DialogAnswer::kCancel;
    fill = false;
    std::string menu = "[Enter] " + okText;
    if (session.BrowseEnabled()) {
      menu += "  [b] " + ButtonText(dialog, dialog.browseButton, "Browse");
    }
    if (hasBoxes) menu += "  [r] 重新輸入";
    menu += "  [c] " + cancelText + " : ";
    Write(menu);
    std::optional<std::string> choice = ReadLine();
    if (!choice) return DialogAnswer::kCancel;
    const std::string answer = Trimmed(*choice);
    if (answer.empty()) {
      if (session.OkEnabled()) return DialogAnswer::kOk;
      Write(okText + " 目前無法使用, 請先完成輸入\n");
      fill = hasBoxes;
    } else if (answer == "c" || answer == "C") {
      return DialogAnswer::kCancel;
    } else if ((answer == "b" || answer == "B") && session.BrowseEnabled()) {
      session.Browsed(AskPath(session.BrowsePicker()));
    } else if ((answer == "r" || answer == "R") && hasBoxes) {
      fill = true;
    }
  }
}

DialogAnswer ConsoleHost::ShowList(const ListDialog& dialog, int& selected) {
  Write("\n== " + dialog.caption + " ==\n");
  const int rows = static_cast<int>(dialog.rows.size());
  std::string okText = "OK", cancelText = "Cancel", viewText = "View";
  for (const DialogControl& control : dialog.controls) {
    if (control.id == kIdOk) okText = control.text;
    if (control.id == kIdCancel) cancelText = control.text;
    if (control.id == dialog.viewButton && dialog.viewButton != 0) viewText = control.text;
  }
  for (;;) {
    std::string header = "     ";
    for (size_t c = 0; c < dialog.columns.size(); ++c) {
      header += (c > 0 ? " | " : "") + dialog.columns[c].header;
    }
    Write(header + "\n");
    for (int r = 0; r < rows; ++r) {
      std::string line = (r == selected ? " * " : "   ") + std::to_string(r + 1) + ". ";
      const auto& cells = dialog.rows[static_cast<size_t>(r)];
      for (size_t c = 0; c < cells.size(); ++c) line += (c > 0 ? " | " : "") + cells[c];
      Write(line + "\n");
    }
    std::string menu = "[1-" + std::to_string(rows) + "] 選擇";
    if (dialog.view) menu += "  [v] " + viewText;
    menu += "  [Enter] " + okText + "  [c] " + cancelText + " : ";
    Write(menu);
    std::optional<std::string> choice = ReadLine();
    if (!choice) return DialogAnswer::kCancel;
    const std::string answer = Trimmed(*choice);
    if (answer.empty()) return DialogAnswer::kOk;
    if (answer == "c" || answer == "C") return DialogAnswer::kCancel;
    if ((answer == "v" || answer == "V") && dialog.view) {
      if (std::optional<std::string> file = dialog.view(selected)) Write(*file + "\n");
      continue;
    }
    int row = 0;
    bool digits = answer.size() <= 6;
    for (char c : answer) {
      digits = digits && c >= '0' && c <= '9';
      if (digits) row = row * 10 + (c - '0');
    }
    if (digits && row >= 1 && row <= rows) selected = row - 1;
  }
}

PickerOutcome ConsoleHost::ShowPicker(const PickerRequest& request) {
  return Picked(AskPath(request));
}

std::optional<std::string> ConsoleHost::AskPath(const PickerRequest& request) {
  Write("\n== " + request.title + " ==\n");
  if (!request.initial.empty()) Write("  " + request.initial + "\n");
  Write(request.kind == PickerKind::kFolder ? "資料夾路徑 (空白 = 取消) : "
                                            : "檔案路徑 (空白 = 取消) : ");
  std::optional<std::string> line = ReadLine();
  if (!line) return std::nullopt;
  std::string path = Trimmed(*line);
  if (path.empty()) return std::nullopt;
  return path;
}

bool ConsoleHost::ShowKeyAccess(const KeyAccessPrompt& prompt) {
  Write("\n== " + prompt.caption + " ==\n" + prompt.message + " [y/N] ");
  std::optional<std::string> line = ReadLine();
  if (!line) return false;
  const std::string answer = Trimmed(*line);
  return answer == "y" || answer == "Y";
}

}  // namespace zyq::platform::posix
