// The in-memory dialog template (DLGTEMPLATE and its DLGITEMTEMPLATEs) of a dialog description:
// caption, size and controls in dialog units, the font "Fixedsys", the style popup + caption +
// system menu + modal frame, centred when shown. Each control gets the window class and styles
// of its kind:
//   label       STATIC, left-aligned text
//   group box   BUTTON, BS_GROUPBOX
//   button      BUTTON, BS_PUSHBUTTON or BS_DEFPUSHBUTTON, tab stop; disabled when the
//               description says so
//   edit        EDIT with a border and tab stop; password boxes ES_PASSWORD | ES_AUTOHSCROLL,
//               read-only boxes ES_READONLY, multi-line boxes ES_MULTILINE with a vertical
//               scroll bar, single-line ones ES_AUTOHSCROLL
//   list        SysListView32, report view, single selection, border, tab stop
// A control without an id (labels, group boxes) takes the id 0xFFFF.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/DialogHost.h"

namespace zyq::platform::win32 {

// The template's words, DWORD-aligned as DialogBoxIndirectParamW requires.
class DialogTemplate {
 public:
  DialogTemplate(const std::string& caption, int width, int height,
                 const std::vector<DialogControl>& controls);

  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Word(WORD word) { words_.push_back(word); }
  void Dword(DWORD dword);
  void Text(const std::wstring& text);
  void AlignToDword();

  std::vector<WORD> words_;
};

// The window styles the template gives a control.
DWORD ControlStyle(const DialogControl& control);

}  // namespace zyq::platform::win32
