// Deleting the containers of a list of key links, for imports that undo their own keys.
#include <memory>
#include <vector>

#include "platform/CryptoKeys.h"

namespace zyq::platform {

SysError DeleteKeyContainers(const std::vector<KeyProvInfo>& links) {
  SysError first = kErrorSuccess;
  for (const KeyProvInfo& link : links) {
    std::unique_ptr<KeyContext> gone;
    const SysError err =
        AcquireKeyContext(link.containerName, link.providerName, link.providerType,
                          kCryptDeleteKeyset | (link.flags & kCryptMachineKeyset), &gone);
    if (err != kErrorSuccess && err != kNteBadKeyset && first == kErrorSuccess) first = err;
  }
  return first;
}

}  // namespace zyq::platform
