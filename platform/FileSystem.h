// Files and folders of the platform port.
//
// Paths are the engine's ANSI text (the process's code page); they reach the operating system
// converted to its own encoding (UTF-8 on POSIX). Relative paths are relative to the process's
// working folder. Errors use Windows numbering: ERROR_FILE_NOT_FOUND (2) when the last name of
// the path is missing, ERROR_PATH_NOT_FOUND (3) when a folder before it is missing,
// ERROR_ACCESS_DENIED (5) for refused access and for a folder where a file is expected,
// ERROR_FILE_EXISTS (80), ERROR_DISK_FULL (112), ERROR_FILENAME_EXCED_RANGE (206),
// ERROR_FILE_TOO_LARGE (223), ...
//
// Writes are atomic: a file is written to a temporary file in the same folder, flushed to the
// disk, then renamed over the target, so that the target holds either its old or its new bytes,
// never a part, also when the process dies or the disk fills up during the write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/SystemErrors.h"

namespace zyq::platform {

// What tells a file's present contents apart without reading them (FileSystem::StampFile).
struct FileStamp {
  uint64_t size = 0;
  uint64_t volume = 0;   // the device (POSIX) or volume serial number (Windows)
  uint64_t file = 0;     // the inode number or file index: a file renamed over it differs
  int64_t modified = 0;  // last write, in the system's own units
  int64_t changed = 0;   // last change of contents or attributes (ctime, NTFS change time)
  // Both times lay more than two seconds before the stamp was taken, so that any later write
  // gets other times even on a file system whose clock ticks every two seconds.
  bool settled = false;
};

// Whether two stamps of a path describe the same file with the same times (settled aside). When
// the earlier one was settled, the file was neither written nor replaced in between.
inline bool SameStamp(const FileStamp& a, const FileStamp& b) {
  return a.size == b.size && a.volume == b.volume && a.file == b.file && a.modified == b.modified &&
         a.changed == b.changed;
}

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // PathFileExistsA: true when the path names an existing file or folder (or anything else the
  // system can see there). False for the empty path.
  virtual bool Exists(std::string_view path) = 0;

  // True when the path names an existing folder (a link to a folder counts).
  virtual bool IsFolder(std::string_view path) = 0;

  // SHCreateDirectoryExA: creates the folder and every missing folder before it. 0 when it was
  // created; ERROR_ALREADY_EXISTS (183) when it already was a folder; ERROR_FILE_EXISTS (80)
  // when a file stands in the way; ERROR_BAD_PATHNAME (161) for the empty path.
  virtual SysError CreateFolders(std::string_view path) = 0;

  // Reads the whole file into *bytes (replaced). ERROR_ACCESS_DENIED for a folder and for
  // anything else that is not a regular file (a device, a named pipe), whose reading would not
  // end or would wait.
  virtual SysError ReadFile(std::string_view path, std::string* bytes) = 0;

  // The stamp of a regular file, read from the file system without opening the contents (a
  // check far cheaper than reading a small file again). ERROR_ACCESS_DENIED for a folder and for
  // anything else that is not a regular file.
  virtual SysError StampFile(std::string_view path, FileStamp* stamp) = 0;

  // Receives the pieces of a file read by ReadFileInBlocks; the bytes are valid during the call.
  using BlockSink = std::function<void(const unsigned char* data, size_t n)>;

  // Reads a regular file from its first byte to its end and hands the bytes to `sink` in order,
  // in pieces of blockSize bytes (the last one may be shorter; an empty file gives none), so
  // that memory stays at one piece whatever the size of the file. ERROR_ACCESS_DENIED for a
  // folder and for anything else that is not a regular file (a pipe or a device may never end);
  // ERROR_INVALID_PARAMETER when blockSize is 0. A read error ends the reading with its code,
  // after the pieces read before it were handed on.
  virtual SysError ReadFileInBlocks(std::string_view path, size_t blockSize,
                                    const BlockSink& sink) = 0;

  // Replaces (or creates) the file with bytes, atomically. An existing file keeps its
  // permission bits; a new one gets the usual ones (0666 less the umask). The folder must exist.
  // On failure the target is as it was and no temporary file is left behind.
  virtual SysError WriteFileAtomic(std::string_view path, std::string_view bytes) = 0;

  // CopyFileA: copies source to target atomically (as WriteFileAtomic). With failIfExists, an
  // existing target is left alone and the result is ERROR_FILE_EXISTS (decided atomically:
  // of two copies racing to the same new target, one wins).
  virtual SysError CopyFileAtomic(std::string_view source, std::string_view target,
                                  bool failIfExists) = 0;

  // DeleteFileA: removes a file (not a folder: ERROR_ACCESS_DENIED).
  virtual SysError DeleteFile(std::string_view path) = 0;

  // RemoveDirectoryA: removes an empty folder. ERROR_DIR_NOT_EMPTY (145) when it holds
  // anything; ERROR_DIRECTORY (267) for a file.
  virtual SysError RemoveFolder(std::string_view path) = 0;

  // The user's temporary folder: $TMPDIR when set, else /tmp; without a trailing separator.
  virtual std::string TempFolder() = 0;
};

// Forwards every call to another file system: the base for test file systems that fail in one
// place.
class FileSystemWrapper : public FileSystem {
 public:
  explicit FileSystemWrapper(FileSystem& target) : target_(target) {}
  FileSystem& target() { return target_; }

  bool Exists(std::string_view path) override { return target_.Exists(path); }
  bool IsFolder(std::string_view path) override { return target_.IsFolder(path); }
  SysError CreateFolders(std::string_view path) override { return target_.CreateFolders(path); }
  SysError ReadFile(std::string_view path, std::string* bytes) override {
    return target_.ReadFile(path, bytes);
  }
  SysError StampFile(std::string_view path, FileStamp* stamp) override {
    return target_.StampFile(path, stamp);
  }
  SysError ReadFileInBlocks(std::string_view path, size_t blockSize,
                            const BlockSink& sink) override {
    return target_.ReadFileInBlocks(path, blockSize, sink);
  }
  SysError WriteFileAtomic(std::string_view path, std::string_view bytes) override {
    return target_.WriteFileAtomic(path, bytes);
  }
  SysError CopyFileAtomic(std::string_view source, std::string_view target,
                          bool failIfExists) override {
    return target_.CopyFileAtomic(source, target, failIfExists);
  }
  SysError DeleteFile(std::string_view path) override { return target_.DeleteFile(path); }
  SysError RemoveFolder(std::string_view path) override { return target_.RemoveFolder(path); }
  std::string TempFolder() override { return target_.TempFolder(); }

 private:
  FileSystem& target_;
};

// The file system of this machine.
FileSystem& DefaultFileSystem();

// The file system the engine uses: the default one unless a test substituted another.
FileSystem& CurrentFileSystem();

// Makes `fileSystem` the current one (tests); null restores the default. The caller keeps it
// alive while it is current.
void SetFileSystemForTesting(FileSystem* fileSystem);

}  // namespace zyq::platform
