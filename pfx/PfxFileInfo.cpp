#include "engine/SecurityEngine.h"
#include "ui/CertFileLaunchers.h"

namespace zyq {

int32_t SecurityEngine::CompletePfxFileInfo(std::string& folder, std::string& fileName,
                                            SecretString& password) {
  if (!folder.empty() && !fileName.empty() && !password.empty()) return 0;
  return ui::PromptRegisterInfo(folder, fileName, password, minPasswordLength_, maxPasswordLength_);
}

}  // namespace zyq
