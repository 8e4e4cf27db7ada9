// The PKCS#12 file that an operation works on, named by folder, file name and password.
#pragma once

#include <cstdint>
#include <string>

#include "engine/EngineShared.h"
#include "platform/Secret.h"

namespace zyq::pfx {

// When any of folder, file name and password is empty, the register dialog asks for all three
// (within the engine's password bounds). 0, or the dialog's result code.
int32_t CompletePfxFileInfo(const EngineShared& shared, std::string& folder, std::string& fileName,
                            SecretString& password);

}  // namespace zyq::pfx
