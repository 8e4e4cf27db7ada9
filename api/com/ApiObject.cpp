#include "api/com/ApiObject.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

#include "api/OperationTable.h"
#include "api/com/Dispatcher.h"
#include "api/com/ServerLocks.h"
#include "engine/SecurityEngine.h"
#include "platform/Bstr.h"

namespace zyq::com {
namespace {

using platform::Bstr;

class ApiObject;

// Each interface pointer handed out points at one of these: the interface's vtable pointer
// first, as the binary standard requires, then the way back to the object.
struct ApiFace : IZYQapi {
  ApiObject* self;
};
struct SafetyFace : IObjectSafety {
  ApiObject* self;
};
struct OwnUnknownFace : IUnknown {
  ApiObject* self;
};

extern const IZYQapiVtbl kApiVtbl;
extern const IObjectSafetyVtbl kSafetyVtbl;
extern const IUnknownVtbl kOwnUnknownVtbl;

class ApiObject {
 public:
  explicit ApiObject(IUnknown* outer) {
    api_.lpVtbl = &kApiVtbl;
    api_.self = this;
    safety_.lpVtbl = &kSafetyVtbl;
    safety_.self = this;
    own_.lpVtbl = &kOwnUnknownVtbl;
    own_.self = this;
    controlling_ = outer != nullptr ? outer : static_cast<IUnknown*>(&own_);
    // A COM object's engine asks for passwords of 1 to 16 characters.
    engine_.PresetPasswdLengthRange(1, 16);
    LockServer();
  }
  ~ApiObject() { UnlockServer(); }
  ApiObject(const ApiObject&) = delete;
  ApiObject& operator=(const ApiObject&) = delete;

  static ApiObject& Of(IZYQapi* face) { return *static_cast<ApiFace*>(face)->self; }
  static ApiObject& Of(IObjectSafety* face) { return *static_cast<SafetyFace*>(face)->self; }
  static ApiObject& Of(IUnknown* face) { return *static_cast<OwnUnknownFace*>(face)->self; }

  // Runs body(engine) with the engine to itself. A script host may call one object from several
  // threads; the lock is recursive because a modal dialog's message loop can re-enter the object
  // on the thread that holds it.
  template <typename Body>
  void WithEngine(Body&& body) {
    std::lock_guard<std::recursive_mutex> lock(engineMutex_);
    body(engine_);
  }
  IUnknown* controlling() { return controlling_; }
  IUnknown* own() { return &own_; }

  // The object's own IUnknown. The reference it hands out is taken through the interface
  // returned, as the aggregation rules require: the own IUnknown counts here, every other
  // interface counts on the controlling unknown (the outer object when aggregated).
  HRESULT OwnQueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = Interface(riid);
    if (*ppv == nullptr) return E_NOINTERFACE;
    if (*ppv == static_cast<void*>(&own_)) {
      OwnAddRef();
    } else {
      controlling_->lpVtbl->AddRef(controlling_);
    }
    return S_OK;
  }
  ULONG OwnAddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG OwnRelease() {
    const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

  // IObjectSafety. The object is safe for untrusted callers (scripts); it makes no promise for
  // untrusted data.
  HRESULT GetSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) {
    if (supported == nullptr || enabled == nullptr) return E_POINTER;
    if (HRESULT hr = Answers(riid); hr != S_OK) {
      *supported = 0;
      *enabled = 0;
      return hr;
    }
    *supported = INTERFACESAFE_FOR_UNTRUSTED_CALLER;
    std::lock_guard<std::recursive_mutex> lock(engineMutex_);
    *enabled = safetyOptions_;
    return S_OK;
  }
  HRESULT SetSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) {
    if (HRESULT hr = Answers(riid); hr != S_OK) return E_NOINTERFACE;
    if ((mask & ~DWORD{INTERFACESAFE_FOR_UNTRUSTED_CALLER}) != 0) return E_FAIL;
    std::lock_guard<std::recursive_mutex> lock(engineMutex_);
    safetyOptions_ = (safetyOptions_ & ~mask) | (enabled & mask);
    return S_OK;
  }

 private:
  // The interface of this object that answers riid, or null; no reference is taken.
  void* Interface(REFIID riid) {
    if (SameGuid(riid, IID_IUnknown)) return static_cast<IUnknown*>(&own_);
    if (SameGuid(riid, IID_IZYQapi) || SameGuid(riid, IID_IDispatch)) {
      return static_cast<IZYQapi*>(&api_);
    }
    if (SameGuid(riid, IID_IObjectSafety)) return static_cast<IObjectSafety*>(&safety_);
    return nullptr;
  }

  // S_OK when this object answers QueryInterface for riid, else that query's error. Only the
  // object's own interfaces are asked for, without taking a reference: the safety options vouch
  // for this object's interfaces, not for whatever an outer object adds.
  HRESULT Answers(REFIID riid) { return Interface(riid) != nullptr ? S_OK : E_NOINTERFACE; }

  ApiFace api_;
  SafetyFace safety_;
  OwnUnknownFace own_;
  IUnknown* controlling_ = nullptr;
  std::atomic<ULONG> refs_{0};
  std::recursive_mutex engineMutex_;  // guards engine_ and safetyOptions_
  DWORD safetyOptions_ = 0;
  SecurityEngine engine_;
};

// Runs a method body; an exception (only an allocation failure can arise) becomes an HRESULT
// instead of crossing the binary interface.
template <typename Body>
HRESULT Guarded(Body&& body) {
  try {
    body();
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// ---- IUnknown of the object itself ----
HRESULT STDMETHODCALLTYPE OwnQueryInterface(IUnknown* This, REFIID riid, void** ppv) {
  return ApiObject::Of(This).OwnQueryInterface(riid, ppv);
}
ULONG STDMETHODCALLTYPE OwnAddRef(IUnknown* This) {
  return ApiObject::Of(This).OwnAddRef();
}
ULONG STDMETHODCALLTYPE OwnRelease(IUnknown* This) {
  return ApiObject::Of(This).OwnRelease();
}

// ---- IUnknown of the other interfaces: the controlling unknown's ----
template <typename Face>
HRESULT STDMETHODCALLTYPE ForwardQueryInterface(Face* This, REFIID riid, void** ppv) {
  IUnknown* c = ApiObject::Of(This).controlling();
  return c->lpVtbl->QueryInterface(c, riid, ppv);
}
template <typename Face>
ULONG STDMETHODCALLTYPE ForwardAddRef(Face* This) {
  IUnknown* c = ApiObject::Of(This).controlling();
  return c->lpVtbl->AddRef(c);
}
template <typename Face>
ULONG STDMETHODCALLTYPE ForwardRelease(Face* This) {
  IUnknown* c = ApiObject::Of(This).controlling();
  return c->lpVtbl->Release(c);
}

// ---- IDispatch ----
HRESULT STDMETHODCALLTYPE GetTypeInfoCount(IZYQapi*, UINT* pctinfo) {
  if (pctinfo == nullptr) return E_POINTER;
  *pctinfo = 1;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE GetTypeInfo(IZYQapi*, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) {
  return DispatchGetTypeInfo(iTInfo, lcid, ppTInfo);
}
HRESULT STDMETHODCALLTYPE GetIDsOfNames(IZYQapi*, REFIID riid, LPOLESTR* names, UINT count,
                                        LCID lcid, DISPID* ids) {
  return DispatchGetIDsOfNames(riid, names, count, lcid, ids);
}
HRESULT STDMETHODCALLTYPE Invoke(IZYQapi* This, DISPID dispid, REFIID riid, LCID lcid, WORD flags,
                                 DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                                 UINT* argErr) {
  return DispatchInvoke(This, dispid, riid, lcid, flags, params, result, excepInfo, argErr);
}

// ---- IObjectSafety ----
HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(IObjectSafety* This, REFIID riid,
                                                    DWORD* supported, DWORD* enabled) {
  return ApiObject::Of(This).GetSafetyOptions(riid, supported, enabled);
}
HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(IObjectSafety* This, REFIID riid, DWORD mask,
                                                    DWORD enabled) {
  return ApiObject::Of(This).SetSafetyOptions(riid, mask, enabled);
}

// ---- IZYQapi: one method per row of the operation table ----
// Each copies its BSTR arguments (up to the first NUL; null stays null) for the engine, which
// owns the copies, runs the operation on the object's engine and stores the result in *Ret
// without releasing what Ret held. The HRESULT is S_OK whatever the operation's outcome.
#define ZYQ_COM_RET_TEXT BSTR
#define ZYQ_COM_RET_INT LONG
#define ZYQ_COM_STORE_TEXT(call) (call).Release()
#define ZYQ_COM_STORE_INT(call) (call)
#define ZYQ_COM_PARAM_TEXT(name) BSTR name
#define ZYQ_COM_PARAM_INT(name) LONG name
#define ZYQ_COM_PARAM(arg) ZYQ_ARG_KIND(ZYQ_COM_PARAM_, arg)
#define ZYQ_COM_CALL_TEXT(name) Bstr::FromWide(name)
#define ZYQ_COM_CALL_INT(name) name
#define ZYQ_COM_CALL(arg) ZYQ_ARG_KIND(ZYQ_COM_CALL_, arg)

#define ZYQ_COM_DEFINE_METHOD(order, dispid, Name, Flat, Result, ...)                             \
  HRESULT STDMETHODCALLTYPE Method_##Name(IZYQapi* This,                                          \
                                          ZYQ_MAP_ARGS(ZYQ_COM_PARAM, __VA_ARGS__) __VA_OPT__(, ) \
                                              ZYQ_COM_RET_##Result* Ret) {                        \
    if (Ret == nullptr) return E_POINTER;                                                         \
    return Guarded([&] {                                                                          \
      ApiObject::Of(This).WithEngine([&](SecurityEngine& engine) {                                \
        *Ret = ZYQ_COM_STORE_##Result(engine.Name(ZYQ_MAP_ARGS(ZYQ_COM_CALL, __VA_ARGS__)));      \
      });                                                                                         \
    });                                                                                           \
  }
ZYQ_FOR_EACH_OPERATION(ZYQ_COM_DEFINE_METHOD)

#define ZYQ_COM_SLOT(order, dispid, Name, ...) .Name = &Method_##Name,

const IZYQapiVtbl kApiVtbl = {.QueryInterface = &ForwardQueryInterface<IZYQapi>,
                              .AddRef = &ForwardAddRef<IZYQapi>,
                              .Release = &ForwardRelease<IZYQapi>,
                              .GetTypeInfoCount = &GetTypeInfoCount,
                              .GetTypeInfo = &GetTypeInfo,
                              .GetIDsOfNames = &GetIDsOfNames,
                              .Invoke = &Invoke,
                              ZYQ_FOR_EACH_OPERATION(ZYQ_COM_SLOT)};

const IObjectSafetyVtbl kSafetyVtbl = {
    .QueryInterface = &ForwardQueryInterface<IObjectSafety>,
    .AddRef = &ForwardAddRef<IObjectSafety>,
    .Release = &ForwardRelease<IObjectSafety>,
    .GetInterfaceSafetyOptions = &GetInterfaceSafetyOptions,
    .SetInterfaceSafetyOptions = &SetInterfaceSafetyOptions,
};

const IUnknownVtbl kOwnUnknownVtbl = {
    .QueryInterface = &OwnQueryInterface,
    .AddRef = &OwnAddRef,
    .Release = &OwnRelease,
};

}  // namespace

HRESULT CreateApiObject(IUnknown* outer, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (outer != nullptr && !SameGuid(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  std::unique_ptr<ApiObject> object;
  try {
    object = std::make_unique<ApiObject>(outer);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  const HRESULT hr = object->OwnQueryInterface(riid, ppv);
  // From here the object's reference count owns it; its last Release destroys it.
  if (hr == S_OK) object.release();
  return hr;
}

}  // namespace zyq::com
