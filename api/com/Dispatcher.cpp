#include "api/com/Dispatcher.h"

#include <array>
#include <cstring>
#include <string_view>

#include "api/com/MethodTable.h"
#include "api/com/TypeInformation.h"
#include "api/com/VariantCoercion.h"
#include "platform/Bstr.h"

namespace zyq::com {
namespace {

std::u16string_view NameView(LPOLESTR name) {
  return name != nullptr ? std::u16string_view(name) : std::u16string_view();
}

}  // namespace

HRESULT IdsOfNames(LPOLESTR* names, UINT count, DISPID* ids) {
  if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  const MethodInfo* method = FindMethod(NameView(names[0]));
  if (method == nullptr) return DISP_E_UNKNOWNNAME;
  ids[0] = method->dispid;
  HRESULT hr = S_OK;
  for (UINT i = 1; i < count; ++i) {
    bool found = false;
    for (size_t p = 0; p < method->paramCount; ++p) {
      if (EqualsIgnoringCase(method->params[p].name, NameView(names[i]))) {
        ids[i] = static_cast<DISPID>(p);
        found = true;
        break;
      }
    }
    if (!found) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT InvokeMethod(IZYQapi* self, DISPID dispid, WORD flags, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* excepInfo, UINT* argErr) {
  const MethodInfo* method = FindMethod(dispid);
  if (method == nullptr) return DISP_E_MEMBERNOTFOUND;
  const bool asMethod = (flags & DISPATCH_METHOD) != 0;
  const bool asGetter = (flags & DISPATCH_PROPERTYGET) != 0 && method->paramCount == 0;
  if (!asMethod && !asGetter) return DISP_E_MEMBERNOTFOUND;
  if (params == nullptr || (params->cArgs > 0 && params->rgvarg == nullptr) ||
      params->cNamedArgs > params->cArgs ||
      (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr)) {
    return E_INVALIDARG;
  }
  if (params->cArgs != method->paramCount) return DISP_E_BADPARAMCOUNT;

  // Which entry of rgvarg feeds each parameter: positional arguments are stored last to first
  // after the named ones.
  const UINT count = params->cArgs;
  const UINT positional = count - params->cNamedArgs;
  std::array<int, kMaxParams> source;
  source.fill(-1);
  for (UINT p = 0; p < positional; ++p) source[p] = static_cast<int>(count - 1 - p);
  for (UINT i = 0; i < params->cNamedArgs; ++i) {
    const DISPID id = params->rgdispidNamedArgs[i];
    if (id < static_cast<DISPID>(positional) || id >= static_cast<DISPID>(count) ||
        source[static_cast<size_t>(id)] != -1) {
      if (argErr != nullptr) *argErr = i;
      return DISP_E_PARAMNOTFOUND;
    }
    source[static_cast<size_t>(id)] = static_cast<int>(i);
  }

  std::array<ArgumentValue, kMaxParams> args{};
  std::array<TextArgument, kMaxParams> texts;
  for (size_t p = 0; p < method->paramCount; ++p) {
    const VARIANT& value = params->rgvarg[source[p]];
    HRESULT hr;
    if (method->params[p].kind == ValueKind::kText) {
      hr = CoerceToText(value, &texts[p]);
      args[p].text = texts[p].get();
    } else {
      hr = CoerceToLong(value, &args[p].integer);
    }
    if (hr != S_OK) {
      if (argErr != nullptr) *argErr = static_cast<UINT>(source[p]);
      return hr;
    }
  }

  ResultValue value;
  const HRESULT hr = method->call(self, args.data(), &value);
  if (hr != S_OK) {
    if (excepInfo != nullptr) {
      std::memset(excepInfo, 0, sizeof *excepInfo);
      excepInfo->scode = hr;
    }
    return DISP_E_EXCEPTION;
  }
  if (result != nullptr) {
    if (method->result == ValueKind::kText) {
      result->vt = VT_BSTR;
      result->bstrVal = value.text;
    } else {
      result->vt = VT_I4;
      result->lVal = value.integer;
    }
  } else if (method->result == ValueKind::kText) {
    platform::FreeBstr(value.text);
  }
  return S_OK;
}

HRESULT DispatchGetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return LoadTypeInformation(info);
}

HRESULT DispatchGetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!SameGuid(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (HRESULT hr = LoadTypeInformation(nullptr); hr != S_OK) return hr;
  return IdsOfNames(names, count, ids);
}

HRESULT DispatchInvoke(IZYQapi* self, DISPID dispid, REFIID riid, LCID, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
  if (!SameGuid(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (HRESULT hr = LoadTypeInformation(nullptr); hr != S_OK) return hr;
  return InvokeMethod(self, dispid, flags, params, result, excepInfo, argErr);
}

}  // namespace zyq::com
