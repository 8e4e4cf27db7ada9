// Coercion of IDispatch::Invoke arguments to the parameter types of IZYQapi (BSTR and LONG),
// with the rules of OLE Automation's VariantChangeType (flags 0, English number format):
//
// To LONG: VT_EMPTY is 0; the integer types convert when the value fits (DISP_E_OVERFLOW
// otherwise); VT_BOOL gives 0 or -1; VT_R4, VT_R8, VT_DATE, VT_CY and VT_DECIMAL round to the
// nearest integer, halves to the even one; VT_BSTR is parsed as a number (blanks around it, a
// sign, a fraction, an exponent, or &H / &O for hexadecimal / octal), an unreadable text
// giving DISP_E_TYPEMISMATCH.
//
// To BSTR: VT_BSTR passes as it is (a null BSTR stays null); VT_EMPTY is an empty text;
// numbers are written in decimal (VT_BOOL as -1 or 0, as VariantChangeType writes it without
// VARIANT_ALPHABOOL); VT_DATE is written as the locale 0x0409 writes it ("1/2/1900 8:09:36 AM",
// the date alone for a whole day, the time alone on day 0; E_INVALIDARG outside the years 100
// to 9999); VT_NULL gives DISP_E_TYPEMISMATCH.
//
// Both: VT_BYREF values are read through their pointer (VT_BYREF | VT_VARIANT through the
// variant it points at, one level); VT_NULL to LONG, VT_ERROR (also a missing argument,
// DISP_E_PARAMNOTFOUND), VT_DISPATCH, VT_UNKNOWN, arrays and records give DISP_E_TYPEMISMATCH;
// a type that is no VARIANT type at all gives DISP_E_BADVARTYPE.
#pragma once

#include "api/com/ComInterfaces.h"
#include "platform/Bstr.h"

namespace zyq::com {

HRESULT CoerceToLong(const VARIANT& value, LONG* out);

// A text argument: either the caller's BSTR (borrowed) or a text made by the conversion.
class TextArgument {
 public:
  BSTR get() const { return owned_.IsNull() ? borrowed_ : const_cast<BSTR>(owned_.Get()); }
  void Borrow(BSTR text) { borrowed_ = text; }
  void Own(platform::Bstr text) { owned_ = std::move(text); }

 private:
  BSTR borrowed_ = nullptr;
  platform::Bstr owned_;
};

HRESULT CoerceToText(const VARIANT& value, TextArgument* out);

}  // namespace zyq::com
