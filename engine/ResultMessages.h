// The message of every result code. The table holds the texts as UTF-8; a message is handed out
// in the process's ANSI code page (code page 950, Big5, unless ZYQSEC_ACP names another).
#pragma once

#include <cstdint>
#include <string>

namespace zyq {

// The pattern of the code (or the pattern for undefined codes) with the code formatted into it.
std::string ResultMessage(int32_t code);

}  // namespace zyq
