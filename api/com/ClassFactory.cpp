#include "api/com/ClassFactory.h"

#include <mutex>

#include "api/com/ApiObject.h"
#include "api/com/ServerLocks.h"

namespace zyq::com {
namespace {

class ApiFactory : public IClassFactory {
 public:
  ApiFactory();

  HRESULT QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (!SameGuid(riid, IID_IUnknown) && !SameGuid(riid, IID_IClassFactory)) {
      return E_NOINTERFACE;
    }
    AddRef();
    *ppv = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  // The factory lives as long as the library; outside references keep the server locked.
  ULONG AddRef() { return refs_.AddRef(); }
  ULONG Release() { return refs_.Release(); }
  HRESULT Lock(BOOL lock) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (lock) {
      ++serverLocks_;
      LockServer();
      return S_OK;
    }
    if (serverLocks_ == 0) return E_UNEXPECTED;
    --serverLocks_;
    UnlockServer();
    return S_OK;
  }

 private:
  ServerHeldCount refs_;
  std::mutex mutex_;  // guards serverLocks_
  ULONG serverLocks_ = 0;
};

ApiFactory& Self(IClassFactory* This) {
  return *static_cast<ApiFactory*>(This);
}

HRESULT STDMETHODCALLTYPE FactoryQueryInterface(IClassFactory* This, REFIID riid, void** ppv) {
  return Self(This).QueryInterface(riid, ppv);
}
ULONG STDMETHODCALLTYPE FactoryAddRef(IClassFactory* This) {
  return Self(This).AddRef();
}
ULONG STDMETHODCALLTYPE FactoryRelease(IClassFactory* This) {
  return Self(This).Release();
}
HRESULT STDMETHODCALLTYPE FactoryCreateInstance(IClassFactory*, IUnknown* outer, REFIID riid,
                                                void** ppv) {
  return CreateApiObject(outer, riid, ppv);
}
HRESULT STDMETHODCALLTYPE FactoryLockServer(IClassFactory* This, BOOL lock) {
  return Self(This).Lock(lock);
}

const IClassFactoryVtbl kFactoryVtbl = {
    .QueryInterface = &FactoryQueryInterface,
    .AddRef = &FactoryAddRef,
    .Release = &FactoryRelease,
    .CreateInstance = &FactoryCreateInstance,
    .LockServer = &FactoryLockServer,
};

ApiFactory::ApiFactory() {
  lpVtbl = &kFactoryVtbl;
}

}  // namespace

IClassFactory* ApiClassFactory() {
  // Made on the first request; static initialisation of a local is thread-safe.
  static ApiFactory factory;
  return &factory;
}

}  // namespace zyq::com
