// The open-file dialog takes the request's filters ("description\0pattern;pattern\0...\0"), its
// default extension as given, its initial text as the initial file name, and the flags
// OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOVALIDATE (0x106). The folder picker starts
// with the request's initial folder selected (BFFM_SETSELECTIONW from its callback, which also
// keeps it above other windows); its item list is freed with the shell's allocator.
#include "platform/win32/dialogs/PickersWin32.h"

#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/win32/dialogs/WideText.h"

namespace zyq::platform::win32 {
namespace {

constexpr DWORD kOpenFileFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOVALIDATE;
// Room for any path the system hands back (the longest a path can be, with the terminator).
constexpr size_t kPathRoom = 32768;

std::wstring FilterText(const PickerRequest& request) {
  std::wstring filter;
  for (const FileFilter& entry : request.filters) {
    filter += Wide(entry.description);
    filter.push_back(L'\0');
    for (size_t i = 0; i < entry.patterns.size(); ++i) {
      if (i > 0) filter.push_back(L';');
      filter += Wide(entry.patterns[i]);
    }
    filter.push_back(L'\0');
  }
  filter.push_back(L'\0');
  return filter;
}

std::optional<std::string> RunOpenFile(HWND owner, const PickerRequest& request, bool* created) {
  const std::wstring filter = FilterText(request);
  const std::wstring title = Wide(request.title);
  const std::wstring defaultExtension = Wide(request.defaultExtension);
  std::vector<wchar_t> file(kPathRoom, L'\0');
  const std::wstring initial = Wide(request.initial);
  initial.copy(file.data(), std::min(initial.size(), file.size() - 1));
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = request.filters.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrTitle = title.c_str();
  ofn.lpstrDefExt = defaultExtension.empty() ? nullptr : defaultExtension.c_str();
  ofn.Flags = kOpenFileFlags;
  if (GetOpenFileNameW(&ofn)) return Utf8(file.data());
  // Zero: the user closed it; anything else: it could not be shown.
  if (created != nullptr) *created = CommDlgExtendedError() == 0;
  return std::nullopt;
}

int CALLBACK FolderPickerStarted(HWND picker, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    const auto* initial = reinterpret_cast<const std::wstring*>(data);
    if (!initial->empty()) {
      SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(initial->c_str()));
    }
    SetWindowPos(picker, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
  return 0;
}

struct ItemListFree {
  void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};

std::optional<std::string> RunFolder(HWND owner, const PickerRequest& request) {
  const std::wstring title = Wide(request.title);
  const std::wstring initial = Wide(request.initial);
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.lpszTitle = title.c_str();
  info.lpfn = &FolderPickerStarted;
  info.lParam = reinterpret_cast<LPARAM>(&initial);
  const std::unique_ptr<ITEMIDLIST, ItemListFree> chosen(SHBrowseForFolderW(&info));
  if (!chosen) return std::nullopt;
  wchar_t path[MAX_PATH + 1] = {};
  if (!SHGetPathFromIDListW(chosen.get(), path)) return std::nullopt;
  return Utf8(path);
}

}  // namespace

std::optional<std::string> RunSystemPicker(HWND owner, const PickerRequest& request,
                                           bool* created) {
  if (created != nullptr) *created = true;
  if (request.kind == PickerKind::kFolder) return RunFolder(owner, request);
  return RunOpenFile(owner, request, created);
}

}  // namespace zyq::platform::win32
