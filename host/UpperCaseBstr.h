// Upper-cases a wide text through the ANSI code page, as user identifiers are normalised.
#pragma once

#include "platform/Bstr.h"

namespace zyq {

// Converts the text to ANSI, upper-cases the ASCII letters (double-byte characters stay as they
// are), converts it back and replaces the BSTR with the result. A null BSTR stays null; a
// character the code page cannot hold becomes "?".
void UpperCaseBstr(platform::Bstr& text);

}  // namespace zyq
