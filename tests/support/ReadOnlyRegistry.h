// A registry that refuses to create keys and to set values (ERROR_ACCESS_DENIED), as a read-only
// or broken store does, and passes every other call on to the registry it wraps. Tests put it in
// place with platform::SetRegistryForTesting.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/Registry.h"

namespace zyq::test {

class ReadOnlyRegistry : public platform::RegistryWrapper {
 public:
  using RegistryWrapper::RegistryWrapper;
  platform::SysError CreateKey(const platform::RegistryKey&, std::string_view,
                               platform::RegistryKey*, bool*) override {
    return platform::kErrorAccessDenied;
  }
  platform::SysError SetValue(const platform::RegistryKey&, std::string_view, uint32_t,
                              std::string_view) override {
    return platform::kErrorAccessDenied;
  }
};

}  // namespace zyq::test
