// IDispatch of IZYQapi. On Windows the system's type information of the registered type library
// drives it (TypeLibraryDispatcher.cpp); elsewhere the method table does, as below
// (Dispatcher.cpp).
//
// GetIDsOfNames: names compare without regard to case; the first name is the method's, the
// others are parameter names, which get the parameter's position (0 for the first).
// Invoke: DISPATCH_METHOD calls any method; DISPATCH_PROPERTYGET also reads a method that has
// no [in] parameter; other flags give DISP_E_MEMBERNOTFOUND. Arguments come in reverse order
// (positional) after the named ones, are converted as VariantCoercion.h says, and the method's
// [out, retval] value lands in *pVarResult (VT_BSTR, owned by the caller, or VT_I4), which is
// overwritten without being cleared; with no pVarResult a text result is freed. A wrong number
// of arguments gives DISP_E_BADPARAMCOUNT; a failed conversion its error with *puArgErr set to
// the argument's index in rgvarg.
#pragma once

#include "api/com/ComInterfaces.h"

namespace zyq::com {

// The IDispatch methods, which need the registered type library (TYPE_E_LIBNOTREGISTERED
// otherwise) and accept only IID_NULL as riid.
HRESULT DispatchGetTypeInfo(UINT index, LCID lcid, ITypeInfo** info);
HRESULT DispatchGetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids);
HRESULT DispatchInvoke(IZYQapi* self, DISPID dispid, REFIID riid, LCID lcid, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr);

// The same without those checks, for the type information's own GetIDsOfNames and Invoke.
HRESULT IdsOfNames(LPOLESTR* names, UINT count, DISPID* ids);
HRESULT InvokeMethod(IZYQapi* self, DISPID dispid, WORD flags, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* excepInfo, UINT* argErr);

}  // namespace zyq::com
