// A file system and a registry that fail their Nth call with a real Windows error, for the fault
// sweep: each forwards to the port it wraps, counts the calls that can report an error, and makes
// the chosen one fail without reaching the port, as the system call would.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Registry.h"

namespace zyq::test {

// The counting and the choice shared by both wrappers.
class CallCounter {
 public:
  // Counts from 0 again; call number n (n >= 1) fails; 0 counts without failing.
  void FailNth(int64_t n) {
    failAt_ = n;
    calls_ = 0;
  }
  int64_t calls() const { return calls_; }
  // Counts one call; true when it is the one that fails.
  bool Next() { return ++calls_ == failAt_; }

 private:
  int64_t failAt_ = 0;
  int64_t calls_ = 0;
};

// Every call that returns an error is counted (Exists, IsFolder and TempFolder report none).
// Failures: a read or a stamp gives ERROR_SHARING_VIOLATION (another process holds the file), a
// write or copy ERROR_DISK_FULL, making folders ERROR_ACCESS_DENIED, a deletion (of a file or a
// folder) ERROR_SHARING_VIOLATION.
class FailingFileSystem : public platform::FileSystemWrapper {
 public:
  using FileSystemWrapper::FileSystemWrapper;
  CallCounter& counter() { return counter_; }

  platform::SysError CreateFolders(std::string_view path) override;
  platform::SysError ReadFile(std::string_view path, std::string* bytes) override;
  platform::SysError StampFile(std::string_view path, platform::FileStamp* stamp) override;
  platform::SysError ReadFileInBlocks(std::string_view path, size_t blockSize,
                                      const BlockSink& sink) override;
  platform::SysError WriteFileAtomic(std::string_view path, std::string_view bytes) override;
  platform::SysError CopyFileAtomic(std::string_view source, std::string_view target,
                                    bool failIfExists) override;
  platform::SysError DeleteFile(std::string_view path) override;
  platform::SysError RemoveFolder(std::string_view path) override;

 private:
  CallCounter counter_;
};

// Every call is counted. Failures: a change (CreateKey, SetValue, DeleteValue, DeleteKeyTree,
// Atomically) gives ERROR_DISK_FULL, as the state database reports a full disk; a read gives
// ERROR_REGISTRY_IO_FAILED.
class FailingRegistry : public platform::RegistryWrapper {
 public:
  using RegistryWrapper::RegistryWrapper;
  CallCounter& counter() { return counter_; }

  platform::SysError OpenKey(const platform::RegistryKey& parent, std::string_view path,
                             platform::RegistryKey* key) override;
  platform::SysError CreateKey(const platform::RegistryKey& parent, std::string_view path,
                               platform::RegistryKey* key, bool* created = nullptr) override;
  platform::SysError QueryValueInfo(const platform::RegistryKey& key, std::string_view name,
                                    uint32_t* type, uint32_t* size) override;
  platform::SysError QueryValue(const platform::RegistryKey& key, std::string_view name,
                                size_t capacity, platform::RegistryValue* value,
                                uint32_t* required = nullptr) override;
  platform::SysError SetValue(const platform::RegistryKey& key, std::string_view name,
                              uint32_t type, std::string_view data) override;
  platform::SysError DeleteValue(const platform::RegistryKey& key, std::string_view name) override;
  platform::SysError DeleteKeyTree(const platform::RegistryKey& parent,
                                   std::string_view path) override;
  platform::SysError EnumKeys(const platform::RegistryKey& key,
                              std::vector<std::string>* names) override;
  platform::SysError EnumValues(const platform::RegistryKey& key,
                                std::vector<platform::RegistryValueEntry>* values) override;
  platform::SysError Atomically(const std::function<platform::SysError()>& body) override;

 private:
  CallCounter counter_;
};

}  // namespace zyq::test
