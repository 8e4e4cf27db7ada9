// The type information of IZYQapi, as IDispatch::GetTypeInfo hands it out: an ITypeInfo of
// kind TKIND_DISPATCH (flags dual, oleautomation, dispatchable; locale 0x0409) with one
// FUNC_DISPATCH function per method, its [in] parameters (VT_BSTR or VT_I4) and its retval as
// the function's type.
//
// It is loaded once per process, the first time it is asked for after the type library's
// registration record exists (DllRegisterServer writes it), and stays loaded until the library
// is unloaded, as a type library loaded with LoadRegTypeLib would. While the record is missing
// every request answers TYPE_E_LIBNOTREGISTERED.
//
// Of the ITypeInfo methods, those that describe the interface and Invoke work, and
// GetContainingTypeLib leads to the type library (TypeLibrary.h), where the interface has
// index 0. An interface type has no variables, DLL entries or instances (TYPE_E_ELEMENTNOTFOUND,
// TYPE_E_BADMODULEKIND); there is no type compiler behind it, so GetTypeComp answers E_NOTIMPL,
// and no base interface is described (cImplTypes 0).
#pragma once

#include "api/com/ComInterfaces.h"

namespace zyq::com {

// S_OK once the type information is loaded, with *info (when info is not null) an added
// reference to it; TYPE_E_LIBNOTREGISTERED otherwise. Outside references keep the server
// locked (DllCanUnloadNow) until they are released.
HRESULT LoadTypeInformation(ITypeInfo** info);

// The same type information with a reference added, whether or not the type library is
// registered: for the type library, which is reached only through it.
ITypeInfo* AddRefInterfaceTypeInformation();

}  // namespace zyq::com
