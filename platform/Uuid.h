// Fresh UUIDs in the textual form that key container and probe names use.
#pragma once

#include <string>

#include "platform/SystemErrors.h"

namespace zyq::platform {

// A new random (version 4) UUID as UuidCreate + UuidToStringA + upper-casing give it: 36
// characters, five groups of 8, 4, 4, 4 and 12 upper-case hexadecimal digits joined by "-".
// Fails only when the system's random source fails (the error then says why).
SysError NewUuidString(std::string* text);

}  // namespace zyq::platform
