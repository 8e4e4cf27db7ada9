#include "platform/FileSystem.h"

#include <atomic>

namespace zyq::platform {
namespace {

std::atomic<FileSystem*> g_substitute{nullptr};

}  // namespace

FileSystem& CurrentFileSystem() {
  FileSystem* substitute = g_substitute.load(std::memory_order_acquire);
  return substitute != nullptr ? *substitute : DefaultFileSystem();
}

void SetFileSystemForTesting(FileSystem* fileSystem) {
  g_substitute.store(fileSystem, std::memory_order_release);
}

}  // namespace zyq::platform
