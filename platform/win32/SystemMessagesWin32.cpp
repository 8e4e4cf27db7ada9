// The system's text for an error code (FormatMessageA from the system's message tables), and,
// when the system has none for it, the project's own table of the texts Windows publishes:
// some systems carry no texts for the CryptoAPI codes (0x8009xxxx, 0x800Bxxxx).
#include <windows.h>

#include "platform/SystemErrors.h"
#include "platform/common/SystemMessageTable.h"

namespace zyq::platform {

std::string SystemMessage(SysError code) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
      nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string message;
  if (n > 0 && text != nullptr) message.assign(text, n);
  if (text != nullptr) LocalFree(text);
  if (message.empty()) message = common::PublishedSystemMessage(code);
  return message;
}

}  // namespace zyq::platform
