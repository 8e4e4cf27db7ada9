// host::HostOperations: the host family of an engine. It reports facts about the machine (the
// adapters' hardware addresses, the default certificate folder, the Windows version's name),
// reads and writes the current user's registry values, and shows the folder picker. It keeps no
// state of its own; the default certificate folder follows the engine's OS facts.
#pragma once

#include <cstdint>
#include <string>

#include "engine/EngineShared.h"
#include "engine/Outcome.h"
#include "platform/Bstr.h"

namespace zyq::host {

using platform::Bstr;

class HostOperations {
 public:
  explicit HostOperations(const EngineShared& shared) : shared_(shared) {}

  // One line per adapter, "XX-XX-XX-XX-XX-XX"; 5001 when there is none or too many to list.
  Result<std::string> GetMacAddress() const;
  // The default certificate folder; reports nothing.
  std::string GetDefaultCertPath() const;
  // The readable name of the running Windows version; reports nothing.
  std::string GetWindowsSystemName() const;
  // The value "key\name" of the current user as text: a string up to 255 bytes, a number in
  // decimal; "" for a missing value or another type. 5005 bad name, 5906 the key cannot be
  // opened.
  Result<std::string> RegReadHKCU(const Bstr& strName) const;
  // Creates the key as needed and sets the value, both or neither; 5005 bad name, 5906 refused.
  Outcome RegWriteHKCUInt(const Bstr& strName, int32_t dw);
  Outcome RegWriteHKCUStr(const Bstr& strName, const Bstr& str);
  // The folder the user picked, "" when cancelled; reports nothing.
  std::string SelectLocalFolder(const Bstr& initPath, const Bstr& title);

 private:
  const EngineShared& shared_;
};

}  // namespace zyq::host
