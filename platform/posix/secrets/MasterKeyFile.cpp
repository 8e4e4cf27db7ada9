#include "platform/posix/secrets/MasterKeyFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/posix/files/ErrnoMapping.h"
#include "platform/posix/secrets/MasterKey.h"

namespace zyq::platform::posix {
namespace {

// The file system's mapping, except that a link at the key's name (O_NOFOLLOW gives ELOOP) is
// refused as access denied: a key file is never followed through a link.
SysError FromErrno(int e) {
  return e == ELOOP ? kErrorAccessDenied : ErrnoToSysError(e);
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes the folder and its missing parents; the ones made here are 0700.
SysError MakeFolders(const std::string& folder) {
  for (size_t pos = 1;; ++pos) {
    pos = folder.find('/', pos);
    const std::string part = folder.substr(0, pos);
    if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      return FromErrno(errno);
    }
    if (pos == std::string::npos) return kErrorSuccess;
  }
}

bool WriteAll(int fd, const uint8_t* data, size_t n) {
  while (n > 0) {
    const ssize_t written = ::write(fd, data, n);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    n -= static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

std::string MasterKeyFilePath() {
  if (const char* chosen = std::getenv("ZYQSEC_KEY_FILE"); chosen != nullptr && *chosen != '\0') {
    return chosen;
  }
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') {
    return std::string(config) + "/ZYQSecurities/master-key";
  }
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.config/ZYQSecurities/master-key";
}

SysError ReadMasterKeyFile(const std::string& path, SecretBytes* bytes) {
  const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (fd.get() < 0) return FromErrno(errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return FromErrno(errno);
  if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
    return kErrorAccessDenied;
  }
  if (st.st_size != static_cast<off_t>(MasterKey::kSize)) return kErrorInvalidData;
  SecretBytes out;
  out.bytes().resize(MasterKey::kSize + 1);  // one more: a file that grew meanwhile shows
  size_t got = 0;
  while (got < out.bytes().size()) {
    const ssize_t n = ::read(fd.get(), out.bytes().data() + got, out.bytes().size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return kErrorReadFault;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  if (got != MasterKey::kSize) return kErrorInvalidData;
  out.bytes().resize(got);
  *bytes = std::move(out);
  return kErrorSuccess;
}

SysError CreateMasterKeyFile(const std::string& path, const SecretBytes& bytes) {
  const std::string folder = FolderOf(path);
  if (SysError err = MakeFolders(folder); err != kErrorSuccess) return err;
  // Written whole under a temporary name, then linked to the key's name: link() fails when a
  // file is there, so of two processes creating the key at once exactly one wins, and nobody
  // ever reads a part of a key.
  std::string temporary = folder + "/.master-key-XXXXXX";
  const mode_t old = ::umask(077);
  const Descriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
  ::umask(old);
  if (fd.get() < 0) return FromErrno(errno);
  SysError err = kErrorSuccess;
  if (::fchmod(fd.get(), 0600) != 0 ||
      !WriteAll(fd.get(), bytes.bytes().data(), bytes.bytes().size()) || ::fsync(fd.get()) != 0) {
    err = errno == ENOSPC || errno == EDQUOT ? kErrorDiskFull : kErrorWriteFault;
  } else if (::link(temporary.c_str(), path.c_str()) != 0) {
    err = FromErrno(errno);
  }
  ::unlink(temporary.c_str());
  if (err != kErrorSuccess) return err;
  const Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  return kErrorSuccess;
}

}  // namespace zyq::platform::posix
