// The built libZYQSecuritiesATL.so, loaded with dlopen and reached only through its exported
// symbols, as a host program that binds by name would use it.
#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace zyq::test {

class FlatLibrary {
 public:
  FlatLibrary();
  ~FlatLibrary();
  FlatLibrary(const FlatLibrary&) = delete;
  FlatLibrary& operator=(const FlatLibrary&) = delete;

  static std::string Path();

  // The exported function of that name, cast to the given function type (null when missing).
  template <typename Fn>
  Fn* Symbol(const char* name) const {
    return reinterpret_cast<Fn*>(dlsym(handle_, name));
  }

  // Calls an export that returns a BSTR and frees the BSTR; nullopt for a null BSTR.
  template <typename... A>
  std::optional<std::u16string> Text(const char* name, A... args) const {
    using Fn = char16_t*(A...);
    Fn* fn = Symbol<Fn>(name);
    if (fn == nullptr) throw std::runtime_error(std::string("missing export ") + name);
    char16_t* result = fn(args...);
    if (result == nullptr) return std::nullopt;
    std::u16string copy(result, sysStringLen_(result));
    sysFreeString_(result);
    return copy;
  }

  template <typename... A>
  int32_t Int(const char* name, A... args) const {
    using Fn = int32_t(A...);
    Fn* fn = Symbol<Fn>(name);
    if (fn == nullptr) throw std::runtime_error(std::string("missing export ") + name);
    return fn(args...);
  }

  int32_t ErrorCode() const { return Int("GetErrorCode"); }

 private:
  void* handle_ = nullptr;
  uint32_t (*sysStringLen_)(char16_t*) = nullptr;
  void (*sysFreeString_)(char16_t*) = nullptr;
};

}  // namespace zyq::test
