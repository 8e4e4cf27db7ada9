#include "tests/faultsweep/FailingPorts.h"

namespace zyq::test {

using platform::SysError;

SysError FailingFileSystem::CreateFolders(std::string_view path) {
  return counter_.Next() ? platform::kErrorAccessDenied : FileSystemWrapper::CreateFolders(path);
}

SysError FailingFileSystem::ReadFile(std::string_view path, std::string* bytes) {
  return counter_.Next() ? platform::kErrorSharingViolation
                         : FileSystemWrapper::ReadFile(path, bytes);
}

SysError FailingFileSystem::StampFile(std::string_view path, platform::FileStamp* stamp) {
  return counter_.Next() ? platform::kErrorSharingViolation
                         : FileSystemWrapper::StampFile(path, stamp);
}

SysError FailingFileSystem::ReadFileInBlocks(std::string_view path, size_t blockSize,
                                             const BlockSink& sink) {
  return counter_.Next() ? platform::kErrorSharingViolation
                         : FileSystemWrapper::ReadFileInBlocks(path, blockSize, sink);
}

SysError FailingFileSystem::WriteFileAtomic(std::string_view path, std::string_view bytes) {
  return counter_.Next() ? platform::kErrorDiskFull
                         : FileSystemWrapper::WriteFileAtomic(path, bytes);
}

SysError FailingFileSystem::CopyFileAtomic(std::string_view source, std::string_view target,
                                           bool failIfExists) {
  return counter_.Next() ? platform::kErrorDiskFull
                         : FileSystemWrapper::CopyFileAtomic(source, target, failIfExists);
}

SysError FailingFileSystem::DeleteFile(std::string_view path) {
  return counter_.Next() ? platform::kErrorSharingViolation : FileSystemWrapper::DeleteFile(path);
}

SysError FailingFileSystem::RemoveFolder(std::string_view path) {
  return counter_.Next() ? platform::kErrorSharingViolation : FileSystemWrapper::RemoveFolder(path);
}

SysError FailingRegistry::OpenKey(const platform::RegistryKey& parent, std::string_view path,
                                  platform::RegistryKey* key) {
  return counter_.Next() ? platform::kErrorRegistryIoFailed
                         : RegistryWrapper::OpenKey(parent, path, key);
}

SysError FailingRegistry::CreateKey(const platform::RegistryKey& parent, std::string_view path,
                                    platform::RegistryKey* key, bool* created) {
  return counter_.Next() ? platform::kErrorDiskFull
                         : RegistryWrapper::CreateKey(parent, path, key, created);
}

SysError FailingRegistry::QueryValueInfo(const platform::RegistryKey& key, std::string_view name,
                                         uint32_t* type, uint32_t* size) {
  return counter_.Next() ? platform::kErrorRegistryIoFailed
                         : RegistryWrapper::QueryValueInfo(key, name, type, size);
}

SysError FailingRegistry::QueryValue(const platform::RegistryKey& key, std::string_view name,
                                     size_t capacity, platform::RegistryValue* value,
                                     uint32_t* required) {
  return counter_.Next() ? platform::kErrorRegistryIoFailed
                         : RegistryWrapper::QueryValue(key, name, capacity, value, required);
}

SysError FailingRegistry::SetValue(const platform::RegistryKey& key, std::string_view name,
                                   uint32_t type, std::string_view data) {
  return counter_.Next() ? platform::kErrorDiskFull
                         : RegistryWrapper::SetValue(key, name, type, data);
}

SysError FailingRegistry::DeleteValue(const platform::RegistryKey& key, std::string_view name) {
  return counter_.Next() ? platform::kErrorDiskFull : RegistryWrapper::DeleteValue(key, name);
}

SysError FailingRegistry::DeleteKeyTree(const platform::RegistryKey& parent,
                                        std::string_view path) {
  return counter_.Next() ? platform::kErrorDiskFull : RegistryWrapper::DeleteKeyTree(parent, path);
}

SysError FailingRegistry::EnumKeys(const platform::RegistryKey& key,
                                   std::vector<std::string>* names) {
  return counter_.Next() ? platform::kErrorRegistryIoFailed : RegistryWrapper::EnumKeys(key, names);
}

SysError FailingRegistry::EnumValues(const platform::RegistryKey& key,
                                     std::vector<platform::RegistryValueEntry>* values) {
  return counter_.Next() ? platform::kErrorRegistryIoFailed
                         : RegistryWrapper::EnumValues(key, values);
}

SysError FailingRegistry::Atomically(const std::function<SysError()>& body) {
  return counter_.Next() ? platform::kErrorDiskFull : RegistryWrapper::Atomically(body);
}

}  // namespace zyq::test
