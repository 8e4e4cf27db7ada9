// The COM server's entry points, the only COM symbols the library exports.
#define ZYQ_BUILDING_LIBRARY 1
#include "api/com/ClassFactory.h"
#include "api/com/ComInterfaces.h"
#include "api/com/ServerLocks.h"
#include "api/com/ServerRegistration.h"
#include "platform/LibraryFile.h"
#include "platform/Registry.h"

using namespace zyq;

extern "C" {

ZYQ_COM_API HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!com::SameGuid(rclsid, CLSID_ZYQapi)) return CLASS_E_CLASSNOTAVAILABLE;
  IClassFactory* factory = com::ApiClassFactory();
  return factory->lpVtbl->QueryInterface(factory, riid, ppv);
}

ZYQ_COM_API HRESULT STDMETHODCALLTYPE DllCanUnloadNow(void) {
  return com::ServerLockCount() == 0 ? S_OK : S_FALSE;
}

ZYQ_COM_API HRESULT STDMETHODCALLTYPE DllRegisterServer(void) {
  try {
    const std::string path = platform::LibraryFilePath();
    if (path.empty()) return SELFREG_E_CLASS;
    return com::RegisterServer(platform::CurrentRegistry(), path);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

ZYQ_COM_API HRESULT STDMETHODCALLTYPE DllUnregisterServer(void) {
  try {
    return com::UnregisterServer(platform::CurrentRegistry());
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // extern "C"
