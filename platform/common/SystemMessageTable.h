// The project's own table of the system messages Windows publishes for the error codes the
// component produces: the whole answer on Linux, the fallback where Windows has no text.
#pragma once

#include <string>

#include "platform/SystemErrors.h"

namespace zyq::platform::common {

// The text with its CR LF, or empty for a code the table does not hold.
std::string PublishedSystemMessage(SysError code);

}  // namespace zyq::platform::common
