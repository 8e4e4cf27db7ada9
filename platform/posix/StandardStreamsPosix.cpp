#include "platform/StandardStreams.h"

namespace zyq::platform {

void UseBinaryStandardStreams() {}

}  // namespace zyq::platform
