#include "platform/HostInfo.h"
#include "platform/posix/VersionRecord.h"

namespace zyq::platform {

OsVersion ReadOsVersion() {
  // Not Windows: there is no Windows version to read.
  return OsVersion{};
}

namespace {
// The record lives in the library's read-only data, like a version resource.
[[gnu::used]] const uint16_t kVersionRecord[4] = {ZYQ_FILE_VERSION_MAJOR, ZYQ_FILE_VERSION_MINOR,
                                                  ZYQ_FILE_VERSION_PATCH, ZYQ_FILE_VERSION_TWEAK};
}  // namespace

bool ReadLibraryFileVersion(std::array<uint16_t, 4>* version, SysError* error) {
  if (version == nullptr) {
    if (error) *error = kErrorInvalidParameter;
    return false;
  }
  for (size_t i = 0; i < 4; ++i) (*version)[i] = kVersionRecord[i];
  return true;
}

}  // namespace zyq::platform
