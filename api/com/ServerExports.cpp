// The COM server's entry points, the only COM symbols the library exports.
//
// Registration writes the ProgID and class entries under HKEY_CLASSES_ROOT, then the type
// library's: on Windows the system registers the library's TYPELIB resource (RegisterTypeLib)
// and removes it again (UnRegisterTypeLib); elsewhere the server writes the record that its own
// type information is loaded by.
#define ZYQ_BUILDING_LIBRARY 1
#include "api/com/ClassFactory.h"
#include "api/com/ComInterfaces.h"
#include "api/com/ServerLocks.h"
#include "api/com/ServerRegistration.h"
#include "platform/LibraryFile.h"
#include "platform/Registry.h"
#include "platform/TypeLibraries.h"

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
    platform::Registry& registry = platform::CurrentRegistry();
    if (HRESULT hr = com::RegisterClassEntries(registry, path); hr != S_OK) return hr;
#if defined(_WIN32)
    return platform::RegisterTypeLibraryOf(path);
#else
    return com::RegisterTypeLibraryRecord(registry, path);
#endif
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

ZYQ_COM_API HRESULT STDMETHODCALLTYPE DllUnregisterServer(void) {
  try {
    platform::Registry& registry = platform::CurrentRegistry();
    if (HRESULT hr = com::UnregisterClassEntries(registry); hr != S_OK) return hr;
#if defined(_WIN32)
    const std::string path = platform::LibraryFilePath();
    if (path.empty()) return SELFREG_E_TYPELIB;
    return platform::UnregisterTypeLibraryOf(path);
#else
    return com::UnregisterTypeLibraryRecord(registry);
#endif
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // extern "C"
