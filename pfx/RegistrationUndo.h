// What a registration makes on its way to the record, undone when the registration fails: the
// keys above the record that the registry probe created and the folders that the copy created,
// each removed only while it is still empty (another process may have put something there).
// Things that existed before are never touched.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SystemErrors.h"

namespace zyq::pfx {

class RegistrationUndo {
 public:
  RegistrationUndo() = default;
  ~RegistrationUndo();
  RegistrationUndo(const RegistrationUndo&) = delete;
  RegistrationUndo& operator=(const RegistrationUndo&) = delete;

  // ProbeRegistryAccess, noting the keys it created.
  int32_t ProbeRegistry(std::string_view probeName);
  // FileSystem::CreateFolders, noting the folders it created (also those of a failed call).
  platform::SysError CreateFolders(const std::string& path);
  // The registration succeeded: everything stays.
  void Commit() { committed_ = true; }

 private:
  bool committed_ = false;
  std::string createdKey_;
  std::vector<std::string> createdFolders_;
};

}  // namespace zyq::pfx
