// The type library ZYQSECURITIESATLLib 1.0 (locale 0x0409) that the type information of
// IZYQapi belongs to, as ITypeLib: index 0 is the interface IZYQapi (TKIND_DISPATCH), index 1
// the class ZYQapi (TKIND_COCLASS, TYPEFLAG_FCANCREATE, with IZYQapi as its default interface).
// Like the type information it lives as long as the library, and outside references to it or
// to the class's type information keep the server locked (DllCanUnloadNow).
//
// GetDocumentation(-1) describes the library itself: its name and help string. IsName and
// FindName look names up without regard to case among the two types and the interface's
// methods (IsName also writes the name back as the library spells it). There is no type
// compiler: GetTypeComp answers E_NOTIMPL.
//
// The class's type information describes the class (GetTypeAttr, GetDocumentation, its one
// implemented interface through GetRefTypeOfImplType, GetImplTypeFlags and GetRefTypeInfo),
// leads back to the library (index 1) and makes objects (CreateInstance, as the class factory
// does); a class has no functions, variables or DLL entries of its own.
#pragma once

#include "api/com/ComInterfaces.h"

namespace zyq::com {

inline constexpr LCID kTypeLibraryLocale = 0x0409;
inline constexpr UINT kInterfaceTypeIndex = 0;
inline constexpr UINT kClassTypeIndex = 1;

// The library, with a reference added for the caller.
ITypeLib* AddRefTypeLibrary();

}  // namespace zyq::com
