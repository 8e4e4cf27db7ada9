// The file system of Windows through the "A" functions: paths are ANSI text of the process's
// code page, as the engine holds them. Atomic writes go to a temporary file in the target's
// folder, flushed, then moved over the target with MoveFileExA(MOVEFILE_REPLACE_EXISTING |
// MOVEFILE_WRITE_THROUGH).
#include <windows.h>
// (the headers below need windows.h first)
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Uuid.h"
#include "platform/win32/WinHandles.h"

namespace zyq::platform {
namespace {

using win32::FileOwner;
using win32::LastError;

std::string Str(std::string_view s) {
  return std::string(s);
}

SysError WriteAll(HANDLE file, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) return LastError();
    done += written;
  }
  return ::FlushFileBuffers(file) ? kErrorSuccess : LastError();
}

// Opens a regular file for reading; ERROR_ACCESS_DENIED for a folder or a device.
SysError OpenForReading(std::string_view path, FileOwner* file) {
  const std::string p = Str(path);
  const DWORD attributes = GetFileAttributesA(p.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return kErrorAccessDenied;
  }
  FileOwner f(CreateFileA(p.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return LastError();
  if (GetFileType(f.get()) != FILE_TYPE_DISK) return kErrorAccessDenied;
  *file = std::move(f);
  return kErrorSuccess;
}

// A new temporary file beside target; *tempPath is its name.
SysError CreateTempBeside(std::string_view target, std::string* tempPath, FileOwner* file) {
  const size_t slash = FindLastBackslash(target);
  const std::string folder =
      slash == std::string_view::npos ? "" : Str(target.substr(0, slash + 1));
  std::string uuid;
  if (SysError err = NewUuidString(&uuid)) return err;
  *tempPath = folder + "~zyq" + uuid + ".tmp";
  FileOwner f(CreateFileA(tempPath->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_TEMPORARY, nullptr));
  if (!f) return LastError();
  *file = std::move(f);
  return kErrorSuccess;
}

class WindowsFileSystem : public FileSystem {
 public:
  bool Exists(std::string_view path) override {
    if (path.empty()) return false;
    return GetFileAttributesA(Str(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  bool IsFolder(std::string_view path) override {
    if (path.empty()) return false;
    const DWORD a = GetFileAttributesA(Str(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  SysError CreateFolders(std::string_view path) override {
    if (path.empty()) return kErrorBadPathname;
    const int result = SHCreateDirectoryExA(nullptr, Str(path).c_str(), nullptr);
    if (result == ERROR_ALREADY_EXISTS && !IsFolder(path)) return kErrorFileExists;
    return static_cast<SysError>(result);
  }

  SysError ReadFile(std::string_view path, std::string* bytes) override {
    std::string out;
    const SysError err = ReadFileInBlocks(path, 1 << 16, [&](const unsigned char* d, size_t n) {
      out.append(reinterpret_cast<const char*>(d), n);
    });
    if (err == kErrorSuccess) *bytes = std::move(out);
    return err;
  }

  SysError StampFile(std::string_view path, FileStamp* stamp) override {
    FileOwner file;
    if (SysError err = OpenForReading(path, &file)) return err;
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandle(file.get(), &info) ||
        !GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic)) {
      return LastError();
    }
    const auto join = [](DWORD high, DWORD low) {
      return (static_cast<uint64_t>(high) << 32) | low;
    };
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    stamp->size = join(info.nFileSizeHigh, info.nFileSizeLow);
    stamp->volume = info.dwVolumeSerialNumber;
    stamp->file = join(info.nFileIndexHigh, info.nFileIndexLow);
    stamp->modified = basic.LastWriteTime.QuadPart;
    stamp->changed = basic.ChangeTime.QuadPart;
    constexpr int64_t kSecond = 10000000;  // in 100-nanosecond units
    const int64_t latest = std::max(stamp->modified, stamp->changed);
    stamp->settled =
        static_cast<int64_t>(join(now.dwHighDateTime, now.dwLowDateTime)) - latest > 2 * kSecond;
    return kErrorSuccess;
  }

  SysError ReadFileInBlocks(std::string_view path, size_t blockSize,
                            const BlockSink& sink) override {
    if (blockSize == 0) return kErrorInvalidParameter;
    FileOwner file;
    if (SysError err = OpenForReading(path, &file)) return err;
    std::vector<unsigned char> block(std::min<size_t>(blockSize, 1u << 24));
    for (;;) {
      DWORD got = 0;
      if (!::ReadFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &got, nullptr)) {
        return LastError();
      }
      if (got == 0) return kErrorSuccess;
      sink(block.data(), got);
    }
  }

  SysError WriteFileAtomic(std::string_view path, std::string_view bytes) override {
    std::string temp;
    FileOwner file;
    if (SysError err = CreateTempBeside(path, &temp, &file)) return err;
    SysError err = WriteAll(file.get(), bytes);
    file.Reset();
    if (err == kErrorSuccess && !MoveFileExA(temp.c_str(), Str(path).c_str(),
                                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      err = LastError();
    }
    if (err != kErrorSuccess) DeleteFileA(temp.c_str());
    return err;
  }

  SysError CopyFileAtomic(std::string_view source, std::string_view target,
                          bool failIfExists) override {
    std::string bytes;
    if (SysError err = ReadFile(source, &bytes)) return err;
    if (!failIfExists) return WriteFileAtomic(target, bytes);
    // The new name is claimed first (CREATE_NEW decides the race), then filled atomically.
    FileOwner claim(CreateFileA(Str(target).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!claim) {
      const DWORD e = GetLastError();
      return e == ERROR_ALREADY_EXISTS ? kErrorFileExists : static_cast<SysError>(e);
    }
    claim.Reset();
    const SysError err = WriteFileAtomic(target, bytes);
    if (err != kErrorSuccess) DeleteFileA(Str(target).c_str());
    return err;
  }

  SysError DeleteFile(std::string_view path) override {
    if (IsFolder(path)) return kErrorAccessDenied;
    return DeleteFileA(Str(path).c_str()) ? kErrorSuccess : LastError();
  }

  SysError RemoveFolder(std::string_view path) override {
    return RemoveDirectoryA(Str(path).c_str()) ? kErrorSuccess : LastError();
  }

  std::string TempFolder() override {
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathA(MAX_PATH, path);
    std::string folder(path, n > 0 && n < MAX_PATH ? n : 0);
    while (folder.size() > 3 && EndsWithBackslash(folder)) folder.pop_back();
    return folder;
  }
};

}  // namespace

FileSystem& DefaultFileSystem() {
  static WindowsFileSystem fileSystem;
  return fileSystem;
}

}  // namespace zyq::platform
