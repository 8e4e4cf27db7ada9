// The file system of this machine through POSIX calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <new>
#include <stdexcept>

#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/posix/files/ErrnoMapping.h"

namespace zyq::platform::posix {
namespace {

// An open descriptor, closed when dropped.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now and reports the error of close (a delayed write error shows here).
  int Close() {
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc;
  }

 private:
  int fd_;
};

std::string ToOs(std::string_view ansiPath) {
  return AnsiToUtf8(ansiPath);
}

SysError ErrorForPath(int error, const std::string& osPath) {
  return error == ENOENT ? MissingPathError(osPath) : ErrnoToSysError(error);
}

mode_t CurrentUmask() {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

SysError WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return ErrnoToSysError(errno);
    }
    done += static_cast<size_t>(n);
  }
  return kErrorSuccess;
}

// Makes the rename that ends an atomic write durable.
void SyncFolder(const std::string& folder) {
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
}

// Writes bytes to a temporary file beside osTarget and moves it into place: over the target
// (replace) or only where no file is (no replace: ERROR_FILE_EXISTS otherwise).
SysError ReplaceAtomically(const std::string& osTarget, std::string_view bytes, mode_t mode,
                           bool replace) {
  struct stat st {};
  if (::stat(osTarget.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return kErrorAccessDenied;
  const PathParts parts = SplitPosixPath(osTarget);
  if (parts.name.empty()) return kErrorInvalidName;
  const std::string folder = parts.folder.empty() ? std::string(".") : parts.folder;
  std::string temp = JoinPosixPath(folder, ".zyq-write-XXXXXX");
  Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (fd.get() < 0) return ErrorForPath(errno, osTarget);

  SysError err = kErrorSuccess;
  if (::fchmod(fd.get(), mode) != 0) err = ErrnoToSysError(errno);
  if (err == kErrorSuccess) err = WriteAll(fd.get(), bytes);
  if (err == kErrorSuccess && ::fsync(fd.get()) != 0) err = ErrnoToSysError(errno);
  if (err == kErrorSuccess && fd.Close() != 0) err = ErrnoToSysError(errno);
  if (err == kErrorSuccess) {
    if (replace) {
      if (::rename(temp.c_str(), osTarget.c_str()) != 0) err = ErrorForPath(errno, osTarget);
    } else if (::link(temp.c_str(), osTarget.c_str()) != 0) {
      err = ErrorForPath(errno, osTarget);
    }
  }
  // After a rename the temporary name is gone; after a link or a failure it is removed.
  if (err != kErrorSuccess || !replace) ::unlink(temp.c_str());
  if (err == kErrorSuccess) SyncFolder(folder);
  return err;
}

class PosixFileSystem final : public FileSystem {
 public:
  bool Exists(std::string_view path) override {
    if (path.empty()) return false;
    struct stat st {};
    return ::stat(ToOs(path).c_str(), &st) == 0;
  }

  bool IsFolder(std::string_view path) override {
    if (path.empty()) return false;
    struct stat st {};
    return ::stat(ToOs(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  SysError CreateFolders(std::string_view path) override {
    if (path.empty()) return kErrorBadPathname;
    const std::string os = ToOs(path);
    struct stat st {};
    if (::stat(os.c_str(), &st) == 0)
      return S_ISDIR(st.st_mode) ? kErrorAlreadyExists : kErrorFileExists;
    // Every prefix that ends before a "/", then the whole path.
    for (size_t pos = os.find('/', 1);; pos = os.find('/', pos + 1)) {
      const std::string part = os.substr(0, pos);
      if (::mkdir(part.c_str(), 0777) != 0) {
        const int e = errno;
        if (e != EEXIST) return ErrorForPath(e, part);
        if (::stat(part.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
          return pos == std::string::npos ? kErrorFileExists : kErrorPathNotFound;
        }
      }
      if (pos == std::string::npos) break;
    }
    return kErrorSuccess;
  }

  SysError ReadFile(std::string_view path, std::string* bytes) override {
    if (path.empty()) return kErrorPathNotFound;
    const std::string os = ToOs(path);
    // O_NONBLOCK: opening a named pipe must not wait for a writer. Only regular files are
    // read: a device such as /dev/zero or a pipe has no end, a folder no bytes.
    Fd fd(::open(os.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return ErrorForPath(errno, os);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return ErrnoToSysError(errno);
    if (!S_ISREG(st.st_mode)) return kErrorAccessDenied;
    try {
      std::string out;
      if (st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
      char buffer[65536];
      while (true) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
          if (errno == EINTR) continue;
          return ErrnoToSysError(errno);
        }
        if (n == 0) break;
        out.append(buffer, static_cast<size_t>(n));
      }
      *bytes = std::move(out);
    } catch (const std::bad_alloc&) {
      return kErrorNotEnoughMemory;
    } catch (const std::length_error&) {
      return kErrorFileTooLarge;
    }
    return kErrorSuccess;
  }

  SysError StampFile(std::string_view path, FileStamp* stamp) override {
    if (path.empty()) return kErrorPathNotFound;
    const std::string os = ToOs(path);
    struct stat st {};
    if (::stat(os.c_str(), &st) != 0) return ErrorForPath(errno, os);
    if (!S_ISREG(st.st_mode)) return kErrorAccessDenied;
    constexpr int64_t kSecond = 1000000000;
    const auto nanoseconds = [](const struct timespec& t) {
      return static_cast<int64_t>(t.tv_sec) * kSecond + t.tv_nsec;
    };
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    stamp->size = static_cast<uint64_t>(st.st_size);
    stamp->volume = static_cast<uint64_t>(st.st_dev);
    stamp->file = static_cast<uint64_t>(st.st_ino);
    stamp->modified = nanoseconds(st.st_mtim);
    stamp->changed = nanoseconds(st.st_ctim);
    const int64_t latest = std::max(stamp->modified, stamp->changed);
    stamp->settled = nanoseconds(now) - latest > 2 * kSecond;
    return kErrorSuccess;
  }

  SysError ReadFileInBlocks(std::string_view path, size_t blockSize,
                            const BlockSink& sink) override {
    if (path.empty()) return kErrorPathNotFound;
    if (blockSize == 0) return kErrorInvalidParameter;
    const std::string os = ToOs(path);
    // Opened without waiting, so that a pipe without a writer is refused below instead of
    // blocking the caller.
    Fd fd(::open(os.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return ErrorForPath(errno, os);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return ErrnoToSysError(errno);
    if (!S_ISREG(st.st_mode)) return kErrorAccessDenied;
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[blockSize]);
    if (!block) return kErrorNotEnoughMemory;
    while (true) {
      // Fills the piece unless the file ends first: every piece but the last is whole.
      size_t filled = 0;
      while (filled < blockSize) {
        const ssize_t n = ::read(fd.get(), block.get() + filled, blockSize - filled);
        if (n < 0) {
          if (errno == EINTR) continue;
          const SysError err = ErrnoToSysError(errno);
          if (filled > 0) sink(block.get(), filled);
          return err;
        }
        if (n == 0) break;
        filled += static_cast<size_t>(n);
      }
      if (filled > 0) sink(block.get(), filled);
      if (filled < blockSize) return kErrorSuccess;
    }
  }

  SysError WriteFileAtomic(std::string_view path, std::string_view bytes) override {
    if (path.empty()) return kErrorPathNotFound;
    const std::string os = ToOs(path);
    struct stat st {};
    const mode_t mode =
        ::stat(os.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
    return ReplaceAtomically(os, bytes, mode, true);
  }

  SysError CopyFileAtomic(std::string_view source, std::string_view target,
                          bool failIfExists) override {
    if (source.empty() || target.empty()) return kErrorPathNotFound;
    const std::string osSource = ToOs(source);
    struct stat st {};
    if (::stat(osSource.c_str(), &st) != 0) return ErrorForPath(errno, osSource);
    std::string bytes;
    if (SysError err = ReadFile(source, &bytes); err != kErrorSuccess) return err;
    const std::string osTarget = ToOs(target);
    struct stat existing {};
    if (failIfExists && ::lstat(osTarget.c_str(), &existing) == 0) return kErrorFileExists;
    return ReplaceAtomically(osTarget, bytes, st.st_mode & 07777, !failIfExists);
  }

  SysError DeleteFile(std::string_view path) override {
    if (path.empty()) return kErrorPathNotFound;
    const std::string os = ToOs(path);
    struct stat st {};
    if (::lstat(os.c_str(), &st) != 0) return ErrorForPath(errno, os);
    if (S_ISDIR(st.st_mode)) return kErrorAccessDenied;
    if (::unlink(os.c_str()) != 0) return ErrorForPath(errno, os);
    return kErrorSuccess;
  }

  SysError RemoveFolder(std::string_view path) override {
    if (path.empty()) return kErrorPathNotFound;
    const std::string os = ToOs(path);
    struct stat st {};
    if (::lstat(os.c_str(), &st) != 0) return ErrorForPath(errno, os);
    if (!S_ISDIR(st.st_mode)) return kErrorDirectory;
    if (::rmdir(os.c_str()) != 0) {
      const int e = errno;
      return e == EEXIST ? kErrorDirNotEmpty : ErrorForPath(e, os);
    }
    return kErrorSuccess;
  }

  std::string TempFolder() override {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return Utf8ToAnsi(folder);
  }
};

}  // namespace
}  // namespace zyq::platform::posix

namespace zyq::platform {

FileSystem& DefaultFileSystem() {
  static posix::PosixFileSystem fileSystem;
  return fileSystem;
}

}  // namespace zyq::platform
