// The Windows dialog host: each template is built in memory from its description
// (DialogTemplateWin32.h) and shown with DialogBoxIndirectParamW, modally on the calling thread,
// owned by the thread's active window when it has one. Password boxes are limited with
// EM_LIMITTEXT and emptied before the dialog is destroyed; OK is enabled as the description's
// rule says after every change of a box; Browse opens the system's pickers (PickersWin32.h);
// the list is a report-view ListView whose View button opens the prepared file with the shell.
// A dialog the system cannot create (no desktop: DialogBoxIndirectParamW gives -1) ends as not
// created. The key-access confirmation is a message box.
#include "platform/win32/dialogs/Win32Host.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/Secret.h"
#include "platform/common/dialogs/HostBase.h"
#include "platform/win32/dialogs/DialogTemplateWin32.h"
#include "platform/win32/dialogs/PickersWin32.h"
#include "platform/win32/dialogs/WideText.h"

namespace zyq::platform::win32 {
namespace {

using common::FormSession;
using common::KeyAccessPrompt;

// The list view's class must be registered before a template names it.
bool CommonControlsReady() {
  static const bool ready = [] {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
    return InitCommonControlsEx(&controls) == TRUE;
  }();
  return ready;
}

std::string BoxText(HWND box) {
  const int length = GetWindowTextLengthW(box);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(box, text.data(), length + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  std::string utf8 = Utf8(text);
  SecureWipe(text.data(), text.size() * sizeof(wchar_t));
  return utf8;
}

void SetBoxText(HWND box, const std::string& utf8) {
  std::wstring text = Wide(utf8);
  SetWindowTextW(box, text.c_str());
  SecureWipe(text.data(), text.size() * sizeof(wchar_t));
}

INT_PTR Show(const DialogTemplate& dialogTemplate, DLGPROC procedure, void* state) {
  return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialogTemplate.get(), GetActiveWindow(),
                                 procedure, reinterpret_cast<LPARAM>(state));
}

template <typename State>
State* StateOf(HWND dialog, UINT message, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    reinterpret_cast<State*>(lParam)->window = dialog;
  }
  return reinterpret_cast<State*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// A form while it is shown.
struct FormState {
  FormSession* session = nullptr;
  HWND window = nullptr;
  bool pushing = false;  // the host itself is setting box texts

  HWND Item(int id) const { return GetDlgItem(window, id); }

  void Pull() {
    session->PullEditable([&](int id) { return BoxText(Item(id)); });
  }
  void PushReadOnly() {
    pushing = true;
    session->PushReadOnly([&](int id, const std::string& text) { SetBoxText(Item(id), text); });
    pushing = false;
  }
  void UpdateOk() { EnableWindow(Item(kIdOk), session->OkEnabled() ? TRUE : FALSE); }

  void Start() {
    HWND focus = nullptr;
    pushing = true;
    for (const DialogControl& control : session->dialog().controls) {
      if (control.kind != ControlKind::kEdit) continue;
      HWND box = Item(control.id);
      if (control.limit > 0) SendMessageW(box, EM_LIMITTEXT, static_cast<WPARAM>(control.limit), 0);
      SetBoxText(box, session->values().Get(control.id));
      if (!control.readOnly && focus == nullptr) focus = box;
    }
    pushing = false;
    UpdateOk();
    if (focus != nullptr) SetFocus(focus);
  }

  // Empties the password boxes before the window goes, so their texts do not outlive it.
  void Close(int id) {
    Pull();
    pushing = true;
    for (const DialogControl& control : session->dialog().controls) {
      if (control.password) SetWindowTextW(Item(control.id), L"");
    }
    EndDialog(window, id);
  }

  void Command(int id, int notification) {
    const FormDialog& dialog = session->dialog();
    if (notification == EN_CHANGE) {
      if (pushing) return;
      Pull();
      UpdateOk();
    } else if (id == kIdOk) {
      Pull();
      if (session->OkEnabled()) Close(kIdOk);
    } else if (id == kIdCancel) {
      Close(kIdCancel);
    } else if (id == dialog.browseButton && notification == BN_CLICKED &&
               session->BrowseEnabled()) {
      Pull();
      session->Browsed(RunSystemPicker(window, session->BrowsePicker()));
      PushReadOnly();
      UpdateOk();
    }
  }
};

INT_PTR CALLBACK FormProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  FormState* state = StateOf<FormState>(dialog, message, lParam);
  if (state == nullptr) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
      state->Start();
      return FALSE;  // the focus is set
    case WM_COMMAND:
      state->Command(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

// A list while it is shown.
struct ListState {
  const ListDialog* dialog = nullptr;
  HWND window = nullptr;
  HWND list = nullptr;
  int selected = 0;

  // The first selected row; 0 when none is selected.
  int Selected() const {
    const LRESULT row = SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    return row >= 0 ? static_cast<int>(row) : 0;
  }

  void Start() {
    for (const DialogControl& control : dialog->controls) {
      if (control.kind == ControlKind::kList) list = GetDlgItem(window, control.id);
    }
    if (list == nullptr) return;
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    for (size_t c = 0; c < dialog->columns.size(); ++c) {
      std::wstring header = Wide(dialog->columns[c].header);
      LVCOLUMNW column{};
      column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
      column.fmt = LVCFMT_LEFT;
      column.cx = dialog->columns[c].widthPixels;
      column.pszText = header.data();
      column.iSubItem = static_cast<int>(c);
      SendMessageW(list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
    }
    for (size_t r = 0; r < dialog->rows.size(); ++r) {
      const std::vector<std::string>& row = dialog->rows[r];
      for (size_t c = 0; c < row.size() && c < dialog->columns.size(); ++c) {
        std::wstring text = Wide(row[c]);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(r);
        item.iSubItem = static_cast<int>(c);
        item.pszText = text.data();
        SendMessageW(list, c == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, c == 0 ? 0 : r,
                     reinterpret_cast<LPARAM>(&item));
      }
    }
    if (!dialog->rows.empty()) {
      LVITEMW first{};
      first.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
      first.state = LVIS_SELECTED | LVIS_FOCUSED;
      SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&first));
    }
    SetFocus(list);
  }

  // View: the description prepares the file; the shell opens it with the system's viewer.
  // Failures are silent and the dialog stays open.
  void View() {
    if (!dialog->view) return;
    const std::optional<std::string> file = dialog->view(Selected());
    if (!file) return;
    const std::wstring path = Wide(*file);
    ShellExecuteW(window, L"open", path.c_str(), nullptr, L"", SW_SHOWDEFAULT);
  }

  void Close(int id) {
    selected = Selected();
    EndDialog(window, id);
  }
};

INT_PTR CALLBACK ListProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  ListState* state = StateOf<ListState>(dialog, message, lParam);
  if (state == nullptr) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
      state->Start();
      return FALSE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id == kIdOk || id == kIdCancel) {
        state->Close(id);
      } else if (id == state->dialog->viewButton && HIWORD(wParam) == BN_CLICKED) {
        state->View();
      }
      return TRUE;
    }
    case WM_NOTIFY: {
      // A double click on a row chooses it, as OK does.
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom == state->list && header->code == NM_DBLCLK &&
          reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem >= 0) {
        state->Close(kIdOk);
      }
      return TRUE;
    }
    default:
      return FALSE;
  }
}

DialogAnswer AnswerOf(INT_PTR result) {
  if (result == -1 || result == 0) return DialogAnswer::kNotCreated;
  return result == kIdOk ? DialogAnswer::kOk : DialogAnswer::kCancel;
}

class Win32Host final : public common::HostBase {
 protected:
  DialogAnswer ShowForm(FormSession& session) override {
    const FormDialog& dialog = session.dialog();
    const DialogTemplate dialogTemplate(dialog.caption, dialog.width, dialog.height,
                                        dialog.controls);
    FormState state;
    state.session = &session;
    return AnswerOf(Show(dialogTemplate, &FormProcedure, &state));
  }

  DialogAnswer ShowList(const ListDialog& dialog, int& selected) override {
    if (!CommonControlsReady()) return DialogAnswer::kNotCreated;
    const DialogTemplate dialogTemplate(dialog.caption, dialog.width, dialog.height,
                                        dialog.controls);
    ListState state;
    state.dialog = &dialog;
    const DialogAnswer answer = AnswerOf(Show(dialogTemplate, &ListProcedure, &state));
    selected = state.selected;
    return answer;
  }

  PickerOutcome ShowPicker(const PickerRequest& request) override {
    bool created = true;
    std::optional<std::string> picked = RunSystemPicker(GetActiveWindow(), request, &created);
    if (!created) return {DialogAnswer::kNotCreated, {}};
    return common::Picked(std::move(picked));
  }

  bool ShowKeyAccess(const KeyAccessPrompt& prompt) override {
    const std::wstring caption = Wide(prompt.caption);
    const std::wstring message = Wide(prompt.message);
    return MessageBoxW(GetActiveWindow(), message.c_str(), caption.c_str(),
                       MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) == IDOK;
  }
};

}  // namespace

std::unique_ptr<DialogHost> CreateWin32Host() {
  return std::make_unique<Win32Host>();
}

}  // namespace zyq::platform::win32
