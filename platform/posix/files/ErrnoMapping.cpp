#include "platform/posix/files/ErrnoMapping.h"

#include <sys/stat.h>

#include <cerrno>

namespace zyq::platform::posix {

SysError ErrnoToSysError(int error) {
  switch (error) {
    case 0:
      return kErrorSuccess;
    case ENOENT:
      return kErrorFileNotFound;
    case ENOTDIR:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return kErrorAccessDenied;
    case EEXIST:
      return kErrorFileExists;
    case ENOTEMPTY:
      return kErrorDirNotEmpty;
    case ENOSPC:
    case EDQUOT:
      return kErrorDiskFull;
    case EFBIG:
      return kErrorFileTooLarge;
    case ENAMETOOLONG:
      return kErrorFilenameExcedRange;
    case ELOOP:
      return kErrorBadPathname;
    case EMFILE:
    case ENFILE:
      return kErrorTooManyOpenFiles;
    case ENOMEM:
      return kErrorNotEnoughMemory;
    case EBUSY:
    case ETXTBSY:
      return kErrorBusy;
    case EINVAL:
      return kErrorInvalidParameter;
    case EIO:
      return kErrorIoDevice;
    case EXDEV:
    case ENOTSUP:
      return kErrorNotSupported;
    default:
      return kErrorGenFailure;
  }
}

SysError MissingPathError(const std::string& utf8Path) {
  const size_t slash = utf8Path.rfind('/');
  if (slash == std::string::npos) return kErrorFileNotFound;  // the working folder exists
  const std::string folder = slash == 0 ? std::string("/") : utf8Path.substr(0, slash);
  struct stat st {};
  if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return kErrorFileNotFound;
  return kErrorPathNotFound;
}

}  // namespace zyq::platform::posix
