// Password arguments: the engine receives passwords as BSTRs and works on their ANSI form.
#pragma once

#include "platform/Bstr.h"
#include "platform/Secret.h"

namespace zyq {

// The ANSI form of a password argument (up to its first NUL); the BSTR's characters are wiped,
// so that the wide copy does not outlive the call.
SecretString TakePassword(platform::Bstr& text);

}  // namespace zyq
