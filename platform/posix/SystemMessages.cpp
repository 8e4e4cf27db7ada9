// System messages on this system: the project's table of the texts Windows publishes.
#include "platform/SystemErrors.h"
#include "platform/common/SystemMessageTable.h"

namespace zyq::platform {

std::string SystemMessage(SysError code) {
  return common::PublishedSystemMessage(code);
}

}  // namespace zyq::platform
