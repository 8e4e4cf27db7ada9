// What every operation family of an engine reads from the engine it serves: the password bounds
// that the password dialogs settle, and the facts about the operating system read once when the
// engine is made. The engine owns one; its families hold a reference to it.
#pragma once

#include <cstdint>

#include "platform/HostInfo.h"

namespace zyq {

struct EngineShared {
  // The bounds handed to the password dialogs (PresetPasswdLengthRange; a COM object sets 1, 16).
  int32_t minPasswordLength = 0;
  int32_t maxPasswordLength = 0;
  // The system's version, read when the engine was made.
  platform::OsVersion osVersion;
};

}  // namespace zyq
