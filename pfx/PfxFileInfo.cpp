#include "pfx/PfxFileInfo.h"

#include "ui/CertFileLaunchers.h"

namespace zyq::pfx {

int32_t CompletePfxFileInfo(const EngineShared& shared, std::string& folder, std::string& fileName,
                            SecretString& password) {
  if (!folder.empty() && !fileName.empty() && !password.empty()) return 0;
  return ui::PromptRegisterInfo(folder, fileName, password, shared.minPasswordLength,
                                shared.maxPasswordLength);
}

}  // namespace zyq::pfx
