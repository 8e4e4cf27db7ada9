// A private temporary folder and this program started again in it, with Win32 calls.
#include <windows.h>

#include <filesystem>
#include <string>

#include "platform/ProcessSandbox.h"
#include "platform/Text.h"
#include "platform/Uuid.h"
#include "platform/win32/WinHandles.h"

namespace zyq::platform {
namespace {

std::wstring Wide(const std::string& utf8) {
  const std::u16string w = Utf8ToWide(utf8);
  return std::wstring(w.begin(), w.end());
}

// One argument quoted as CommandLineToArgvW reads it back.
std::wstring Quote(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
    } else {
      if (c == L'"') out.append(backslashes + 1, L'\\');
      backslashes = 0;
    }
    out.push_back(c);
  }
  out.append(backslashes, L'\\');
  out.push_back(L'"');
  return out;
}

}  // namespace

SysError MakePrivateTempFolder(std::string_view prefix, std::string* path) {
  char temp[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathA(MAX_PATH, temp);
  if (n == 0 || n >= MAX_PATH) return win32::LastError();
  std::string uuid;
  if (SysError err = NewUuidString(&uuid)) return err;
  const std::string folder = std::string(temp, n) + std::string(prefix) + uuid.substr(0, 6);
  if (!CreateDirectoryA(folder.c_str(), nullptr)) return win32::LastError();
  *path = folder;
  return kErrorSuccess;
}

void RemoveFolderTree(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::u8path(path), ignored);
}

SysError RunThisProgramAgain(const std::vector<std::string>& args,
                             const std::vector<std::pair<std::string, std::string>>& environment,
                             int* status) {
  wchar_t self[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return win32::LastError();
  std::wstring commandLine = Quote(self);
  for (const std::string& a : args) commandLine += L" " + Quote(Wide(a));
  // The child inherits the environment of this process, which the variables are added to.
  for (const auto& [name, value] : environment) {
    SetEnvironmentVariableW(Wide(name).c_str(), Wide(value).c_str());
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return win32::LastError();
  }
  win32::FileOwner processHandle(process.hProcess);
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  *status = static_cast<int>(code);
  return kErrorSuccess;
}

}  // namespace zyq::platform
