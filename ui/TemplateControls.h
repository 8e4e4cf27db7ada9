// Small builders for the controls of the dialog templates.
#pragma once

#include <string>
#include <string_view>

#include "platform/DialogHost.h"

namespace zyq::ui {

platform::DialogControl Label(std::string_view text, platform::DialogRect rect);
platform::DialogControl GroupBox(std::string_view text, platform::DialogRect rect);
platform::DialogControl Button(int id, std::string_view text, platform::DialogRect rect);
platform::DialogControl DefaultButton(int id, std::string_view text, platform::DialogRect rect);
// An edit box taking the user's text; scriptName names it in scripts.
platform::DialogControl PasswordBox(int id, platform::DialogRect rect, int limit,
                                    std::string_view scriptName);
// A read-only box showing a path; transcriptName records its first text.
platform::DialogControl PathBox(int id, std::string text, platform::DialogRect rect, bool multiLine,
                                std::string_view transcriptName);

// The ANSI text of an edit box.
std::string BoxText(const platform::FieldValues& values, int id);

}  // namespace zyq::ui
