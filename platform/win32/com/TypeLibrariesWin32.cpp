// The type library services over oleaut32.
#include <windows.h>
// (the headers below need windows.h first)
#include <oleauto.h>

#include <string>

#include "platform/Text.h"
#include "platform/TypeLibraries.h"

namespace zyq::platform {
namespace {

// Releases a COM interface when it goes out of scope.
template <typename I>
class ComRef {
 public:
  ComRef() = default;
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() {
    if (p_ != nullptr) p_->Release();
  }
  I** out() { return &p_; }
  I* get() const { return p_; }
  I* release() {
    I* p = p_;
    p_ = nullptr;
    return p;
  }

 private:
  I* p_ = nullptr;
};

// The library's TLIBATTR, released with it.
class LibAttr {
 public:
  explicit LibAttr(ITypeLib* lib) : lib_(lib) { hr_ = lib_->GetLibAttr(&attr_); }
  LibAttr(const LibAttr&) = delete;
  LibAttr& operator=(const LibAttr&) = delete;
  ~LibAttr() {
    if (attr_ != nullptr) lib_->ReleaseTLibAttr(attr_);
  }
  HRESULT result() const { return hr_; }
  const TLIBATTR& operator*() const { return *attr_; }

 private:
  ITypeLib* lib_;
  TLIBATTR* attr_ = nullptr;
  HRESULT hr_;
};

std::wstring Wide(std::string_view ansi) {
  const std::u16string wide = AnsiToWide(ansi);
  return std::wstring(wide.begin(), wide.end());
}

// The module's type library and the path it was loaded from.
HRESULT LoadModuleTypeLibrary(std::string_view modulePath, ITypeLib** lib, std::wstring* from) {
  *from = Wide(modulePath);
  HRESULT hr = LoadTypeLibEx(from->c_str(), REGKIND_NONE, lib);
  if (SUCCEEDED(hr)) return hr;
  std::string tlb(modulePath);
  const size_t dot = tlb.find_last_of('.');
  const size_t slash = tlb.find_last_of("\\/");
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) tlb.resize(dot);
  tlb += ".tlb";
  *from = Wide(tlb);
  return LoadTypeLibEx(from->c_str(), REGKIND_NONE, lib);
}

}  // namespace

int32_t RegisterTypeLibraryOf(std::string_view modulePath) {
  ComRef<ITypeLib> lib;
  std::wstring from;
  if (HRESULT hr = LoadModuleTypeLibrary(modulePath, lib.out(), &from); FAILED(hr)) return hr;
  std::wstring folder = from;
  const size_t slash = folder.find_last_of(L"\\/");
  folder.resize(slash == std::wstring::npos ? 0 : slash);
  return RegisterTypeLib(lib.get(), from.data(), folder.empty() ? nullptr : folder.data());
}

int32_t UnregisterTypeLibraryOf(std::string_view modulePath) {
  ComRef<ITypeLib> lib;
  std::wstring from;
  if (HRESULT hr = LoadModuleTypeLibrary(modulePath, lib.out(), &from); FAILED(hr)) return hr;
  const LibAttr attr(lib.get());
  if (FAILED(attr.result())) return attr.result();
  const TLIBATTR& a = *attr;
  // Not registered (any more): nothing to remove.
  BSTR registered = nullptr;
  if (FAILED(QueryPathOfRegTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, &registered))) {
    return S_OK;
  }
  SysFreeString(registered);
  using Unregister = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
  HMODULE oleaut = GetModuleHandleA("oleaut32.dll");
  if (oleaut == nullptr) return S_OK;
  auto unregister = reinterpret_cast<Unregister>(
      reinterpret_cast<void*>(GetProcAddress(oleaut, "UnRegisterTypeLib")));
  if (unregister == nullptr) return S_OK;
  return unregister(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
}

int32_t LoadRegisteredTypeInfo(const void* libid, uint16_t major, uint16_t minor, uint32_t lcid,
                               const void* iid, void** typeInfo, void** vtableTypeInfo) {
  *typeInfo = nullptr;
  *vtableTypeInfo = nullptr;
  ComRef<ITypeLib> lib;
  HRESULT hr = LoadRegTypeLib(*static_cast<const GUID*>(libid), major, minor, lcid, lib.out());
  if (FAILED(hr)) return hr;
  ComRef<ITypeInfo> info;
  hr = lib.get()->GetTypeInfoOfGuid(*static_cast<const GUID*>(iid), info.out());
  if (FAILED(hr)) return hr;
  // A dual interface's dispatch half would answer Invoke by calling IDispatch::Invoke again; its
  // interface half (implemented type -1) calls through the vtable.
  ComRef<ITypeInfo> vtable;
  TYPEATTR* attr = nullptr;
  hr = info.get()->GetTypeAttr(&attr);
  if (FAILED(hr)) return hr;
  const bool dualDispatch =
      attr->typekind == TKIND_DISPATCH && (attr->wTypeFlags & TYPEFLAG_FDUAL) != 0;
  info.get()->ReleaseTypeAttr(attr);
  if (dualDispatch) {
    HREFTYPE ref = 0;
    hr = info.get()->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref);
    if (SUCCEEDED(hr)) hr = info.get()->GetRefTypeInfo(ref, vtable.out());
    if (FAILED(hr)) return hr;
  } else {
    info.get()->AddRef();
    *vtable.out() = info.get();
  }
  *typeInfo = info.release();
  *vtableTypeInfo = vtable.release();
  return S_OK;
}

}  // namespace zyq::platform
