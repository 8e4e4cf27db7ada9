#include "pfx/PfxFileInfo.h"

#include "engine/ResultCodes.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "ui/CertFileLaunchers.h"

namespace zyq::pfx {

int32_t CompletePfxFileInfo(const EngineShared& shared, std::string& folder, std::string& fileName,
                            SecretString& password) {
  if (!folder.empty() && !fileName.empty() && !password.empty()) return 0;
  return ui::PromptRegisterInfo(folder, fileName, password, shared.minPasswordLength,
                                shared.maxPasswordLength);
}

Outcome LoadPfxFile(const std::string& folder, const std::string& fileName,
                    const SecretString& password, int32_t flags, CertStore& file,
                    std::string* path) {
  std::string joined = platform::JoinPath(folder, fileName);
  if (!platform::CurrentFileSystem().Exists(joined)) {
    return Outcome::Failure(result::kFileNotFound);
  }
  if (const int32_t code = file.LoadPfx(joined, password.str(), flags)) {
    return Outcome::Failure(code, file.lastError());
  }
  if (path != nullptr) *path = std::move(joined);
  return Outcome::Success();
}

}  // namespace zyq::pfx
