// The message of every result code, in the ANSI code page (Big5 text).
#pragma once

#include <cstdint>
#include <string>

namespace zyq {

// The pattern of the code (or the pattern for undefined codes) with the code formatted into it.
std::string ResultMessage(int32_t code);

}  // namespace zyq
