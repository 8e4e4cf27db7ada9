#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/StandardStreams.h"

namespace zyq::platform {

void UseBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace zyq::platform
