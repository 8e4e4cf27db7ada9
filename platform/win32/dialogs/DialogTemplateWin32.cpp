#include "platform/win32/dialogs/DialogTemplateWin32.h"

#include <commctrl.h>

#include "platform/win32/dialogs/WideText.h"

namespace zyq::platform::win32 {
namespace {

constexpr wchar_t kFont[] = L"Fixedsys";
constexpr WORD kFontPoints = 9;
constexpr WORD kNoId = 0xFFFF;

// The predefined classes by their atoms.
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;

}  // namespace

DWORD ControlStyle(const DialogControl& control) {
  DWORD style = WS_CHILD | WS_VISIBLE;
  if (!control.enabled) style |= WS_DISABLED;
  switch (control.kind) {
    case ControlKind::kLabel:
      return style | SS_LEFT | WS_GROUP;
    case ControlKind::kGroupBox:
      return style | BS_GROUPBOX;
    case ControlKind::kButton:
      return style | WS_TABSTOP | (control.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    case ControlKind::kEdit:
      style |= WS_BORDER | WS_TABSTOP;
      if (control.password) style |= ES_PASSWORD;
      if (control.readOnly) style |= ES_READONLY;
      if (control.multiLine) return style | ES_MULTILINE | WS_VSCROLL;
      return style | ES_AUTOHSCROLL;
    case ControlKind::kList:
      return style | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
  }
  return style;
}

DialogTemplate::DialogTemplate(const std::string& caption, int width, int height,
                               const std::vector<DialogControl>& controls) {
  Dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT);
  Dword(0);  // extended style
  Word(static_cast<WORD>(controls.size()));
  Word(0);  // x, y: DS_CENTER places the dialog
  Word(0);
  Word(static_cast<WORD>(width));
  Word(static_cast<WORD>(height));
  Word(0);  // no menu
  Word(0);  // the dialog class
  Text(Wide(caption));
  Word(kFontPoints);
  Text(kFont);
  for (const DialogControl& control : controls) {
    AlignToDword();
    Dword(ControlStyle(control));
    Dword(0);
    Word(static_cast<WORD>(control.rect.x));
    Word(static_cast<WORD>(control.rect.y));
    Word(static_cast<WORD>(control.rect.width));
    Word(static_cast<WORD>(control.rect.height));
    Word(control.id < 0 ? kNoId : static_cast<WORD>(control.id));
    switch (control.kind) {
      case ControlKind::kLabel:
        Word(0xFFFF);
        Word(kStaticClass);
        break;
      case ControlKind::kGroupBox:
      case ControlKind::kButton:
        Word(0xFFFF);
        Word(kButtonClass);
        break;
      case ControlKind::kEdit:
        Word(0xFFFF);
        Word(kEditClass);
        break;
      case ControlKind::kList:
        Text(WC_LISTVIEWW);
        break;
    }
    // Edit boxes get their texts from the host once created (passwords never sit in here).
    Text(control.kind == ControlKind::kEdit ? std::wstring() : Wide(control.text));
    Word(0);  // no creation data
  }
}

void DialogTemplate::Dword(DWORD dword) {
  Word(LOWORD(dword));
  Word(HIWORD(dword));
}

void DialogTemplate::Text(const std::wstring& text) {
  for (wchar_t c : text) Word(static_cast<WORD>(c));
  Word(0);
}

void DialogTemplate::AlignToDword() {
  if (words_.size() % 2 != 0) Word(0);
}

}  // namespace zyq::platform::win32
