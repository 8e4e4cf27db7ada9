#include "ui/TemplateControls.h"

#include "platform/Text.h"

namespace zyq::ui {

using platform::ControlKind;
using platform::DialogControl;
using platform::DialogRect;

DialogControl Label(std::string_view text, DialogRect rect) {
  DialogControl control;
  control.kind = ControlKind::kLabel;
  control.text = text;
  control.rect = rect;
  return control;
}

DialogControl GroupBox(std::string_view text, DialogRect rect) {
  DialogControl control = Label(text, rect);
  control.kind = ControlKind::kGroupBox;
  return control;
}

DialogControl Button(int id, std::string_view text, DialogRect rect) {
  DialogControl control = Label(text, rect);
  control.id = id;
  control.kind = ControlKind::kButton;
  return control;
}

DialogControl DefaultButton(int id, std::string_view text, DialogRect rect) {
  DialogControl control = Button(id, text, rect);
  control.defaultButton = true;
  return control;
}

DialogControl PasswordBox(int id, DialogRect rect, int limit, std::string_view scriptName) {
  DialogControl control;
  control.id = id;
  control.kind = ControlKind::kEdit;
  control.rect = rect;
  control.password = true;
  control.limit = limit;
  control.scriptName = scriptName;
  return control;
}

DialogControl PathBox(int id, std::string text, DialogRect rect, bool multiLine,
                      std::string_view transcriptName) {
  DialogControl control;
  control.id = id;
  control.kind = ControlKind::kEdit;
  control.text = std::move(text);
  control.rect = rect;
  control.readOnly = true;
  control.multiLine = multiLine;
  control.transcriptName = transcriptName;
  return control;
}

std::string BoxText(const platform::FieldValues& values, int id) {
  return platform::Utf8ToAnsi(values.Get(id));
}

}  // namespace zyq::ui
