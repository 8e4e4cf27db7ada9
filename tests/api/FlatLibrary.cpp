#include "tests/api/FlatLibrary.h"

namespace zyq::test {

std::string FlatLibrary::Path() {
  return ZYQ_LIBRARY_PATH;
}

FlatLibrary::FlatLibrary() {
  // Never unmapped: what the toolkit libraries keep for the life of the process stays reachable
  // from their data, as in a host program, instead of showing up as leaks once unloaded.
  handle_ = dlopen(Path().c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle_ == nullptr) throw std::runtime_error(dlerror());
  sysStringLen_ = Symbol<uint32_t(char16_t*)>("SysStringLen");
  sysFreeString_ = Symbol<void(char16_t*)>("SysFreeString");
  if (sysStringLen_ == nullptr || sysFreeString_ == nullptr) {
    throw std::runtime_error("the BSTR functions are not exported");
  }
}

FlatLibrary::~FlatLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

}  // namespace zyq::test
