#include "pfx/RegistrationUndo.h"

#include <algorithm>

#include "pfx/RegistrationRecord.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace zyq::pfx {

RegistrationUndo::~RegistrationUndo() {
  if (committed_) return;
  RemoveEmptyProbeKeys(createdKey_);
  // Inner folders first: a folder's path is longer than its parent's.
  std::ranges::sort(createdFolders_,
                    [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  platform::FileSystem& files = platform::CurrentFileSystem();
  for (const std::string& folder : createdFolders_) files.RemoveFolder(folder);
}

int32_t RegistrationUndo::ProbeRegistry(std::string_view probeName) {
  std::string created;
  const int32_t code = ProbeRegistryAccess(probeName, &created);
  if (createdKey_.empty()) createdKey_ = std::move(created);
  return code;
}

platform::SysError RegistrationUndo::CreateFolders(const std::string& path) {
  platform::FileSystem& files = platform::CurrentFileSystem();
  std::vector<std::string> missing;
  for (std::string folder = path; !folder.empty() && !files.Exists(folder);) {
    missing.push_back(folder);
    std::string parent = platform::SplitPath(folder).folder;
    if (parent.size() >= folder.size()) break;
    folder = std::move(parent);
  }
  const platform::SysError error = files.CreateFolders(path);
  for (std::string& folder : missing) {
    if (files.IsFolder(folder)) createdFolders_.push_back(std::move(folder));
  }
  return error;
}

}  // namespace zyq::pfx
