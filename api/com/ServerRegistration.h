// The server's registration under HKEY_CLASSES_ROOT: the class, its two ProgIDs and the type
// library's registration record, written by DllRegisterServer and removed by
// DllUnregisterServer.
//
//   ZYQSecuritiesATL.ZYQapi.1            = <class description>, CLSID = {CLSID}
//   ZYQSecuritiesATL.ZYQapi              = <class description>, CLSID = {CLSID},
//                                          CurVer = ZYQSecuritiesATL.ZYQapi.1
//   CLSID\{CLSID}                        = <class description>; ProgID, VersionIndependentProgID,
//                                          Programmable, InprocServer32 = <library path> with
//                                          ThreadingModel = Apartment, TypeLib = {LIBID}
//   TypeLib\{LIBID}\1.0                  = <type library description>; FLAGS = 0,
//                                          HELPDIR = <library folder>, 409\win64 = <library path>
//   Interface\{IID}                      = IZYQapi; ProxyStubClsid, ProxyStubClsid32 = the
//                                          automation marshaller, TypeLib = {LIBID} (Version 1.0)
//
// The class key and its Programmable key are deleted with their contents before they are
// written; HKEY_CLASSES_ROOT\CLSID itself is never removed. The type information of IZYQapi is
// built into the library, so the library's own path is the type library's file.
#pragma once

#include <string_view>

#include "api/com/ComInterfaces.h"
#include "platform/Registry.h"

namespace zyq::com {

// Writes every entry; the first failing registry call stops the registration and its error is
// returned as an HRESULT. The same as RegisterClassEntries, then RegisterTypeLibraryRecord.
HRESULT RegisterServer(platform::Registry& registry, std::string_view libraryPath);

// The ProgID keys and the class key (the system writes the type library's part on Windows, where
// RegisterTypeLib registers the TYPELIB resource instead of RegisterTypeLibraryRecord).
HRESULT RegisterClassEntries(platform::Registry& registry, std::string_view libraryPath);
// The type library's version key and the interface key.
HRESULT RegisterTypeLibraryRecord(platform::Registry& registry, std::string_view libraryPath);

// Removes the ProgID keys, the class key, the type library's version key (and its LIBID key
// when no other version is left) and the interface key. Missing entries are no error. The same
// as UnregisterClassEntries, then UnregisterTypeLibraryRecord.
HRESULT UnregisterServer(platform::Registry& registry);
HRESULT UnregisterClassEntries(platform::Registry& registry);
HRESULT UnregisterTypeLibraryRecord(platform::Registry& registry);

// What loading the registered type library finds: S_OK when the registration record names the
// library's file, TYPE_E_LIBNOTREGISTERED when there is none.
HRESULT FindRegisteredTypeLibrary(platform::Registry& registry);

// HRESULT_FROM_WIN32.
HRESULT HresultFromSystemError(platform::SysError error);

}  // namespace zyq::com
