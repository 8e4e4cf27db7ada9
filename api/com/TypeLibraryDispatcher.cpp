// IDispatch of IZYQapi on Windows: the system's type information of the registered type
// library does the work (ITypeInfo::GetIDsOfNames and ITypeInfo::Invoke through the object's
// vtable), so names, argument conversion, optional and named arguments and error information are
// OLE Automation's own. The type information is loaded once per process, on the first call after
// the library is registered, and kept until the library is unloaded.
#include <mutex>

#include "api/com/Dispatcher.h"
#include "platform/TypeLibraries.h"

namespace zyq::com {
namespace {

// Holds a reference to a system interface (ITypeInfo) until the library is unloaded.
class HeldTypeInfo {
 public:
  HeldTypeInfo() = default;
  HeldTypeInfo(const HeldTypeInfo&) = delete;
  HeldTypeInfo& operator=(const HeldTypeInfo&) = delete;
  ~HeldTypeInfo() {
    if (info_ != nullptr) info_->lpVtbl->Release(info_);
  }
  ITypeInfo* get() const { return info_; }
  void** out() { return reinterpret_cast<void**>(&info_); }

 private:
  ITypeInfo* info_ = nullptr;
};

struct LoadedTypeInfo {
  std::mutex mutex;        // guards the loading
  HeldTypeInfo described;  // as GetTypeInfoOfGuid gives it: handed to callers
  HeldTypeInfo vtable;     // the interface half, which invokes through the vtable
};

LoadedTypeInfo& Loaded() {
  static LoadedTypeInfo loaded;
  return loaded;
}

// The library's own locale, under which it is registered.
constexpr LCID kLibraryLocale = 0x0409;

// S_OK once the type information is loaded; the error of LoadRegTypeLib otherwise. The system
// looks the registration up under the caller's locale, its language and the neutral locale, but
// not under another language's: a caller of another locale (a script host of zh-TW asks with
// 0x0404) gets the library's own.
HRESULT Load(LCID lcid) {
  LoadedTypeInfo& loaded = Loaded();
  std::lock_guard<std::mutex> lock(loaded.mutex);
  if (loaded.vtable.get() != nullptr) return S_OK;
  HRESULT hr =
      platform::LoadRegisteredTypeInfo(&LIBID_ZYQSECURITIESATLLib, 1, 0, lcid, &IID_IZYQapi,
                                       loaded.described.out(), loaded.vtable.out());
  if (hr == TYPE_E_LIBNOTREGISTERED && lcid != kLibraryLocale) {
    hr =
        platform::LoadRegisteredTypeInfo(&LIBID_ZYQSECURITIESATLLib, 1, 0, kLibraryLocale,
                                         &IID_IZYQapi, loaded.described.out(), loaded.vtable.out());
  }
  return hr;
}

}  // namespace

HRESULT DispatchGetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  if (HRESULT hr = Load(lcid); hr != S_OK) return hr;
  ITypeInfo* described = Loaded().described.get();
  described->lpVtbl->AddRef(described);
  *info = described;
  return S_OK;
}

HRESULT DispatchGetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
  if (!SameGuid(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (HRESULT hr = Load(lcid); hr != S_OK) return hr;
  ITypeInfo* info = Loaded().vtable.get();
  return info->lpVtbl->GetIDsOfNames(info, names, count, ids);
}

HRESULT DispatchInvoke(IZYQapi* self, DISPID dispid, REFIID riid, LCID lcid, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
  if (!SameGuid(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (HRESULT hr = Load(lcid); hr != S_OK) return hr;
  ITypeInfo* info = Loaded().vtable.get();
  return info->lpVtbl->Invoke(info, self, dispid, flags, params, result, excepInfo, argErr);
}

}  // namespace zyq::com
