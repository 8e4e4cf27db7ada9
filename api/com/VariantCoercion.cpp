#include "api/com/VariantCoercion.h"

#include "api/com/Int128.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

namespace zyq::com {
namespace {

// The VARIANT that an argument means: a VT_BYREF value read through its pointer. The result
// shares any BSTR with the argument; nothing in it is owned.
HRESULT Dereference(const VARIANT& in, VARIANT* out, int depth = 0) {
  const VARTYPE vt = in.vt;
  if ((vt & VT_BYREF) == 0) {
    *out = in;
    return S_OK;
  }
  const VARTYPE base = vt & static_cast<VARTYPE>(~VT_BYREF);
  if ((base & VT_ARRAY) != 0) return DISP_E_TYPEMISMATCH;
  if (in.byref == nullptr) return DISP_E_TYPEMISMATCH;
  if (base == VT_VARIANT) {
    // One level: a variant reached by reference may itself hold a reference to a value, but
    // not to another variant.
    const VARIANT& inner = *in.pvarVal;
    if (depth > 0 || inner.vt == (VT_BYREF | VT_VARIANT)) return DISP_E_BADVARTYPE;
    return Dereference(inner, out, depth + 1);
  }
  VARIANT v{};
  switch (base) {
    case VT_I1:
      v.cVal = *in.pcVal;
      break;
    case VT_UI1:
      v.bVal = *in.pbVal;
      break;
    case VT_I2:
      v.iVal = *in.piVal;
      break;
    case VT_UI2:
      v.uiVal = *in.puiVal;
      break;
    case VT_I4:
      v.lVal = *in.plVal;
      break;
    case VT_UI4:
      v.ulVal = *in.pulVal;
      break;
    case VT_INT:
      v.intVal = *in.pintVal;
      break;
    case VT_UINT:
      v.uintVal = *in.puintVal;
      break;
    case VT_I8:
      v.llVal = *in.pllVal;
      break;
    case VT_UI8:
      v.ullVal = *in.pullVal;
      break;
    case VT_R4:
      v.fltVal = *in.pfltVal;
      break;
    case VT_R8:
      v.dblVal = *in.pdblVal;
      break;
    case VT_DATE:
      v.date = *in.pdate;
      break;
    case VT_CY:
      v.cyVal = *in.pcyVal;
      break;
    case VT_BOOL:
      v.boolVal = *in.pboolVal;
      break;
    case VT_BSTR:
      v.bstrVal = *in.pbstrVal;
      break;
    case VT_ERROR:
      v.scode = *in.pscode;
      break;
    case VT_DISPATCH:
    case VT_UNKNOWN:
      v.punkVal = *in.ppunkVal;
      break;
    case VT_DECIMAL:
      v.decVal = *in.pdecVal;
      break;  // the decimal's first word is the type
    default:
      return DISP_E_BADVARTYPE;
  }
  v.vt = base;
  *out = v;
  return S_OK;
}

bool IsValueType(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_RECORD:
      return true;
    default:
      return false;
  }
}

// Divides by a power of ten, rounding halves to the even neighbour (as the Automation
// conversions round).
Int128 DivideRoundingToEven(Int128 value, Int128 divisor) {
  const bool negative = value < 0;
  Int128 magnitude = negative ? -value : value;
  Int128 quotient = magnitude / divisor;
  const Int128 twiceRest = (magnitude % divisor) * 2;
  if (twiceRest > divisor || (twiceRest == divisor && (quotient & 1) != 0)) ++quotient;
  return negative ? -quotient : quotient;
}

Int128 PowerOfTen(int n) {
  Int128 p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

HRESULT FromInteger(Int128 value, LONG* out) {
  if (value < INT32_MIN || value > INT32_MAX) return DISP_E_OVERFLOW;
  *out = static_cast<LONG>(value);
  return S_OK;
}

HRESULT FromReal(double value, LONG* out) {
  if (std::isnan(value)) return DISP_E_OVERFLOW;
  const double rounded = std::nearbyint(value);  // the default mode: halves to even
  if (rounded < -2147483648.0 || rounded > 2147483647.0) return DISP_E_OVERFLOW;
  *out = static_cast<LONG>(rounded);
  return S_OK;
}

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

// A number written as text: blanks around it; a sign, digits with a decimal point and an
// exponent; or &H / &O followed by hexadecimal / octal digits, which stand for the 32 bits of
// a LONG (&HFFFFFFFF is -1).
HRESULT FromText(const char16_t* text, uint32_t length, LONG* out) {
  size_t begin = 0, end = length;
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  if (begin == end) return DISP_E_TYPEMISMATCH;

  if (end - begin >= 2 && text[begin] == u'&') {
    const char16_t radixLetter = text[begin + 1];
    const int radix = (radixLetter == u'H' || radixLetter == u'h')   ? 16
                      : (radixLetter == u'O' || radixLetter == u'o') ? 8
                                                                     : 0;
    if (radix == 0 || end - begin == 2) return DISP_E_TYPEMISMATCH;
    uint64_t value = 0;
    for (size_t i = begin + 2; i < end; ++i) {
      const char16_t c = text[i];
      int digit;
      if (c >= u'0' && c <= u'9') {
        digit = c - u'0';
      } else if (c >= u'a' && c <= u'f') {
        digit = c - u'a' + 10;
      } else if (c >= u'A' && c <= u'F') {
        digit = c - u'A' + 10;
      } else {
        return DISP_E_TYPEMISMATCH;
      }
      if (digit >= radix) return DISP_E_TYPEMISMATCH;
      value = value * radix + digit;
      if (value > UINT32_MAX) return DISP_E_OVERFLOW;
    }
    *out = static_cast<LONG>(static_cast<uint32_t>(value));
    return S_OK;
  }

  // Check the grammar, then let from_chars (locale-independent) read the value.
  std::string ascii;
  size_t i = begin;
  auto digits = [&] {
    size_t n = 0;
    while (i < end && text[i] >= u'0' && text[i] <= u'9') {
      ascii += static_cast<char>(text[i++]);
      ++n;
    }
    return n;
  };
  bool negative = false;
  if (text[i] == u'+' || text[i] == u'-') negative = text[i++] == u'-';
  size_t mantissaDigits = digits();
  if (i < end && text[i] == u'.') {
    ascii += '.';
    ++i;
    mantissaDigits += digits();
  }
  if (mantissaDigits == 0) return DISP_E_TYPEMISMATCH;
  if (i < end && (text[i] == u'e' || text[i] == u'E')) {
    ascii += 'e';
    ++i;
    if (i < end && (text[i] == u'+' || text[i] == u'-')) ascii += static_cast<char>(text[i++]);
    if (digits() == 0) return DISP_E_TYPEMISMATCH;
  }
  if (i != end) return DISP_E_TYPEMISMATCH;
  double value = 0;
  const auto [ptr, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
  if (ec == std::errc::result_out_of_range) return DISP_E_OVERFLOW;
  if (ec != std::errc() || ptr != ascii.data() + ascii.size()) return DISP_E_TYPEMISMATCH;
  return FromReal(negative ? -value : value, out);
}

Int128 DecimalMantissa(const DECIMAL& d) {
  Int128 m = (static_cast<Int128>(d.Hi32) << 64) | d.Lo64;
  return (d.sign & 0x80) != 0 ? -m : m;
}

std::u16string Widen(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

std::string IntegerText(Int128 value) {
  if (value == 0) return "0";
  const bool negative = value < 0;
  std::string digits;
  while (value != 0) {
    const int digit = static_cast<int>(value % 10);
    digits.insert(digits.begin(), static_cast<char>('0' + (digit < 0 ? -digit : digit)));
    value /= 10;
  }
  if (negative) digits.insert(digits.begin(), '-');
  return digits;
}

// A scaled integer (mantissa / 10^scale) as decimal text without trailing zeros after the
// point.
std::string ScaledText(Int128 mantissa, int scale) {
  const Int128 divisor = PowerOfTen(scale);
  const Int128 magnitude = mantissa < 0 ? -mantissa : mantissa;
  std::string text;
  if (mantissa < 0) text.push_back('-');
  text += IntegerText(magnitude / divisor);
  Int128 fraction = magnitude % divisor;
  if (fraction != 0) {
    std::string digits(static_cast<size_t>(scale), '0');
    for (size_t i = digits.size(); i-- > 0; fraction /= 10) {
      digits[i] = static_cast<char>('0' + static_cast<int>(fraction % 10));
    }
    while (digits.back() == '0') digits.pop_back();
    text.push_back('.');
    text += digits;
  }
  return text;
}

std::string RealText(double value, int precision) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*G", precision, value);
  return text;
}

// The civil date of a day counted from 1 January 1970 in the proleptic Gregorian calendar.
struct CivilDate {
  long long year;
  unsigned month, day;
};
CivilDate CivilFromDays(long long days) {
  days += 719468;  // from 1 March of year 0
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;  // March is 0
  const unsigned day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  const unsigned month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  return {static_cast<long long>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// A DATE as VariantChangeType writes it for the locale 0x0409: the short date M/d/yyyy and the
// time h:mm:ss AM/PM, joined by a blank. A value without a time of day gives the date alone,
// one on day 0 (30 December 1899) the time alone. The whole days count toward zero from that
// day (-1.25 is 29 December 1899, 6:00:00 AM) and the time of day is the magnitude of the
// fraction, rounded to the second; rounding up to midnight moves to the next day. Values
// before 1 January 100 or after 31 December 9999 are E_INVALIDARG.
HRESULT DateText(double date, std::string* out) {
  constexpr double kFirstDay = -657434.0;  // 1 January 100
  constexpr double kLastDay = 2958465.0;   // 31 December 9999
  constexpr long long kDay0FromUnixEpoch = -25569;
  if (!(date > kFirstDay - 1.0 && date < kLastDay + 1.0)) return E_INVALIDARG;
  const double whole = std::trunc(date);
  const double fraction = std::fabs(date - whole);
  const bool timeOnly = whole == 0.0;
  const bool dateOnly = !timeOnly && fraction < 1e-12;

  long long day = static_cast<long long>(whole);
  long long seconds = std::llround(fraction * 86400.0);
  if (seconds >= 86400) {
    seconds -= 86400;
    ++day;
  }
  char text[64];
  int used = 0;
  if (!timeOnly) {
    const CivilDate civil = CivilFromDays(day + kDay0FromUnixEpoch);
    used = std::snprintf(text, sizeof text, "%u/%u/%lld", civil.month, civil.day, civil.year);
  }
  if (!dateOnly) {
    const long long hour = seconds / 3600;
    const long long hour12 = hour % 12 == 0 ? 12 : hour % 12;
    std::snprintf(text + used, sizeof text - static_cast<size_t>(used), "%s%lld:%02lld:%02lld %s",
                  timeOnly ? "" : " ", hour12, seconds / 60 % 60, seconds % 60,
                  hour < 12 ? "AM" : "PM");
  }
  *out = text;
  return S_OK;
}

}  // namespace

HRESULT CoerceToLong(const VARIANT& argument, LONG* out) {
  VARIANT v;
  if (HRESULT hr = Dereference(argument, &v); hr != S_OK) return hr;
  if ((v.vt & VT_ARRAY) != 0) return DISP_E_TYPEMISMATCH;
  if (!IsValueType(v.vt)) return DISP_E_BADVARTYPE;
  switch (v.vt) {
    case VT_EMPTY:
      *out = 0;
      return S_OK;
    case VT_I1:
      return FromInteger(static_cast<signed char>(v.cVal), out);
    case VT_UI1:
      return FromInteger(v.bVal, out);
    case VT_I2:
      return FromInteger(v.iVal, out);
    case VT_UI2:
      return FromInteger(v.uiVal, out);
    case VT_I4:
      return FromInteger(v.lVal, out);
    case VT_INT:
      return FromInteger(v.intVal, out);
    case VT_UI4:
      return FromInteger(v.ulVal, out);
    case VT_UINT:
      return FromInteger(v.uintVal, out);
    case VT_I8:
      return FromInteger(v.llVal, out);
    case VT_UI8:
      return FromInteger(v.ullVal, out);
    case VT_BOOL:
      return FromInteger(v.boolVal, out);
    case VT_R4:
      return FromReal(v.fltVal, out);
    case VT_R8:
      return FromReal(v.dblVal, out);
    case VT_DATE:
      return FromReal(v.date, out);
    case VT_CY:
      return FromInteger(DivideRoundingToEven(v.cyVal.int64, 10000), out);
    case VT_DECIMAL:
      if (v.decVal.scale > 28) return DISP_E_OVERFLOW;
      return FromInteger(
          DivideRoundingToEven(DecimalMantissa(v.decVal), PowerOfTen(v.decVal.scale)), out);
    case VT_BSTR:
      if (v.bstrVal == nullptr) return DISP_E_TYPEMISMATCH;
      return FromText(v.bstrVal, platform::BstrLength(v.bstrVal), out);
    default:  // VT_NULL, VT_ERROR, VT_DISPATCH, VT_UNKNOWN, VT_RECORD
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT CoerceToText(const VARIANT& argument, TextArgument* out) {
  VARIANT v;
  if (HRESULT hr = Dereference(argument, &v); hr != S_OK) return hr;
  if ((v.vt & VT_ARRAY) != 0) return DISP_E_TYPEMISMATCH;
  if (!IsValueType(v.vt)) return DISP_E_BADVARTYPE;
  std::string text;
  switch (v.vt) {
    case VT_BSTR:
      out->Borrow(v.bstrVal);
      return S_OK;
    case VT_EMPTY:
      break;  // an empty text
    case VT_I1:
      text = IntegerText(static_cast<signed char>(v.cVal));
      break;
    case VT_UI1:
      text = IntegerText(v.bVal);
      break;
    case VT_I2:
      text = IntegerText(v.iVal);
      break;
    case VT_UI2:
      text = IntegerText(v.uiVal);
      break;
    case VT_I4:
      text = IntegerText(v.lVal);
      break;
    case VT_INT:
      text = IntegerText(v.intVal);
      break;
    case VT_UI4:
      text = IntegerText(v.ulVal);
      break;
    case VT_UINT:
      text = IntegerText(v.uintVal);
      break;
    case VT_I8:
      text = IntegerText(v.llVal);
      break;
    case VT_UI8:
      text = IntegerText(v.ullVal);
      break;
    case VT_BOOL:
      text = IntegerText(v.boolVal);
      break;
    case VT_R4:
      text = RealText(v.fltVal, 7);
      break;
    case VT_R8:
      text = RealText(v.dblVal, 15);
      break;
    case VT_CY:
      text = ScaledText(v.cyVal.int64, 4);
      break;
    case VT_DECIMAL:
      if (v.decVal.scale > 28) return DISP_E_OVERFLOW;
      text = ScaledText(DecimalMantissa(v.decVal), v.decVal.scale);
      break;
    case VT_DATE:
      if (HRESULT hr = DateText(v.date, &text); hr != S_OK) return hr;
      break;
    default:  // VT_NULL, VT_ERROR (a missing argument among them), VT_DISPATCH, VT_UNKNOWN,
              // VT_RECORD
      return DISP_E_TYPEMISMATCH;
  }
  platform::Bstr made = platform::Bstr::FromView(Widen(text));
  if (made.IsNull()) return E_OUTOFMEMORY;
  out->Own(std::move(made));
  return S_OK;
}

}  // namespace zyq::com
