#include <dlfcn.h>
#include <stdlib.h>

#include <memory>

#include "platform/LibraryFile.h"
#include "platform/Text.h"

namespace zyq::platform {

std::string LibraryFilePath() {
  Dl_info info{};
  // Any address inside this module names it; the function's own address is one.
  if (dladdr(reinterpret_cast<void*>(&LibraryFilePath), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  std::unique_ptr<char, decltype(&free)> resolved(realpath(info.dli_fname, nullptr), &free);
  return Utf8ToAnsi(resolved ? resolved.get() : info.dli_fname);
}

}  // namespace zyq::platform
