// A COM client of the built libZYQSecuritiesATL.so: the library loaded with dlopen, reached
// only through its exported entry points and the interfaces they hand out (the C++ view of
// ZYQapi.h), as an in-process COM host would use it.
#pragma once

#include <dlfcn.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "ZYQapi.h"

namespace zyq::test {

// Owns one reference to an interface.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* p) : p_(p) {}
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& o) noexcept {
    Reset();
    p_ = std::exchange(o.p_, nullptr);
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset() {
    if (p_ != nullptr) std::exchange(p_, nullptr)->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out parameters: releases what is held and gives the address to fill.
  T** Out() {
    Reset();
    return &p_;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }

  template <typename U>
  HRESULT As(REFIID iid, ComPtr<U>* out) const {
    return p_->QueryInterface(iid, out->OutVoid());
  }

 private:
  T* p_ = nullptr;
};

class ComClient {
 public:
  ComClient() {
    // Never unmapped: what the toolkit libraries keep for the life of the process stays
    // reachable, as in a host program, instead of showing up as leaks under the sanitizer.
    handle_ = dlopen(Path().c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle_ == nullptr) throw std::runtime_error(dlerror());
    getClassObject = Symbol<PFN_DllGetClassObject>("DllGetClassObject");
    canUnloadNow = Symbol<PFN_DllCanUnloadNow>("DllCanUnloadNow");
    registerServer = Symbol<PFN_DllRegisterServer>("DllRegisterServer");
    unregisterServer = Symbol<PFN_DllUnregisterServer>("DllUnregisterServer");
    sysFreeString = Symbol<void (*)(BSTR)>("SysFreeString");
    sysAllocString = Symbol<BSTR (*)(const OLECHAR*)>("SysAllocString");
    sysStringLen = Symbol<UINT (*)(BSTR)>("SysStringLen");
  }
  ~ComClient() { dlclose(handle_); }
  ComClient(const ComClient&) = delete;
  ComClient& operator=(const ComClient&) = delete;

  static std::string Path() { return ZYQ_LIBRARY_PATH; }

  template <typename Fn>
  Fn Symbol(const char* name) const {
    auto fn = reinterpret_cast<Fn>(dlsym(handle_, name));
    if (fn == nullptr) throw std::runtime_error(std::string("missing export ") + name);
    return fn;
  }

  ComPtr<IClassFactory> Factory() const {
    ComPtr<IClassFactory> factory;
    if (getClassObject(CLSID_ZYQapi, IID_IClassFactory, factory.OutVoid()) != S_OK) {
      throw std::runtime_error("no class factory");
    }
    return factory;
  }

  ComPtr<IZYQapi> Create() const {
    ComPtr<IZYQapi> api;
    if (Factory()->CreateInstance(nullptr, IID_IZYQapi, api.OutVoid()) != S_OK) {
      throw std::runtime_error("CreateInstance failed");
    }
    return api;
  }

  // Takes over a BSTR result: its text, or nullopt for a null BSTR.
  std::optional<std::u16string> Take(BSTR text) const {
    if (text == nullptr) return std::nullopt;
    std::u16string copy(text, sysStringLen(text));
    sysFreeString(text);
    return copy;
  }

  PFN_DllGetClassObject getClassObject;
  PFN_DllCanUnloadNow canUnloadNow;
  PFN_DllRegisterServer registerServer;
  PFN_DllUnregisterServer unregisterServer;
  void (*sysFreeString)(BSTR);
  BSTR (*sysAllocString)(const OLECHAR*);
  UINT (*sysStringLen)(BSTR);

 private:
  void* handle_ = nullptr;
};

}  // namespace zyq::test
