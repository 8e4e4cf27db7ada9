// The PKCS#12 file that an operation works on, named by folder, file name and password.
#pragma once

#include <cstdint>
#include <string>

#include "cert/CertStore.h"
#include "engine/EngineShared.h"
#include "engine/Outcome.h"
#include "platform/Secret.h"

namespace zyq::pfx {

// When any of folder, file name and password is empty, the register dialog asks for all three
// (within the engine's password bounds). 0, or the dialog's result code.
int32_t CompletePfxFileInfo(const EngineShared& shared, std::string& folder, std::string& fileName,
                            SecretString& password);

// Loads the file that folder and fileName name into file with password (and the load's flags).
// Fails with result::kFileNotFound when there is no such file, else with the load's code and
// system error. path, when given, receives the file's path.
Outcome LoadPfxFile(const std::string& folder, const std::string& fileName,
                    const SecretString& password, int32_t flags, CertStore& file,
                    std::string* path = nullptr);

}  // namespace zyq::pfx
