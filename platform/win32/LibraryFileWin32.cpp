// The file of the module that holds this code (the DLL, or the program it is linked into).
#include <windows.h>

#include "platform/LibraryFile.h"

namespace zyq::platform {

HMODULE OwnModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&OwnModule), &module);
  return module;
}

std::string LibraryFilePath() {
  char path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(OwnModule(), path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return std::string(path, n);
}

}  // namespace zyq::platform
