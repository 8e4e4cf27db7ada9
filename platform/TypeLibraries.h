// The system's OLE Automation type libraries (oleaut32): registering the type library that a
// module file holds, removing that registration, and loading a registered library's type
// information. Only the Windows port implements this; a Linux build has no such system service
// (its COM server describes its interface itself).
//
// GUID arguments point at a GUID in its binary layout (16 bytes: a 32-bit, two 16-bit and eight
// 8-bit fields). Results are HRESULTs; paths are ANSI text.
#pragma once

#include <cstdint>
#include <string_view>

namespace zyq::platform {

// Loads the type library from the module's TYPELIB resource (LoadTypeLib of the path), or, when
// that fails, from the file of the same path with the extension ".tlb", and registers it
// (RegisterTypeLib) with that path and the path's folder as help folder.
int32_t RegisterTypeLibraryOf(std::string_view modulePath);

// Loads the module's type library as above and removes its registration with the identity,
// version, locale and system kind that the library reports, through "UnRegisterTypeLib" looked
// up at run time in "oleaut32.dll"; S_OK without doing anything when the system has no such
// function. A library that is not registered is no error.
int32_t UnregisterTypeLibraryOf(std::string_view modulePath);

// LoadRegTypeLib(libid, major.minor, lcid), then the type information of the interface iid in
// it. On success *typeInfo holds a reference to the system's ITypeInfo as GetTypeInfoOfGuid gives
// it (for a dual interface, its dispatch half) and *vtableTypeInfo one to the type information
// whose Invoke calls through the interface's vtable (for a dual interface, its interface half;
// otherwise the same as *typeInfo); the caller releases both through that interface. On failure
// both are null and the error is returned (TYPE_E_LIBNOTREGISTERED when the library is not
// registered).
int32_t LoadRegisteredTypeInfo(const void* libid, uint16_t major, uint16_t minor, uint32_t lcid,
                               const void* iid, void** typeInfo, void** vtableTypeInfo);

}  // namespace zyq::platform
