// The argument conversions of IDispatch::Invoke against the values VariantChangeType gives.
#include "api/com/VariantCoercion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

namespace zyq::com {
namespace {

struct LongCase {
  VARIANT value;
  HRESULT hr;
  LONG expected;
};

VARIANT Make(VARTYPE vt) {
  VARIANT v{};
  v.vt = vt;
  return v;
}
VARIANT R8(double d) {
  VARIANT v = Make(VT_R8);
  v.dblVal = d;
  return v;
}
VARIANT Text(BSTR b) {
  VARIANT v = Make(VT_BSTR);
  v.bstrVal = b;
  return v;
}

class VariantCoercionTest : public testing::Test {
 protected:
  BSTR Keep(std::u16string_view text) {
    kept_.push_back(platform::Bstr::FromView(text));
    return const_cast<BSTR>(kept_.back().Get());
  }
  std::optional<LONG> AsLong(const VARIANT& v, HRESULT expectedHr = S_OK) {
    LONG out = 777;
    const HRESULT hr = CoerceToLong(v, &out);
    EXPECT_EQ(hr, expectedHr) << "vt " << v.vt;
    if (hr != S_OK) return std::nullopt;
    return out;
  }
  // The text a value becomes; "<null>" for a null BSTR, "<hr>" when refused with expectedHr.
  std::u16string AsText(const VARIANT& v, HRESULT expectedHr = S_OK) {
    TextArgument out;
    const HRESULT hr = CoerceToText(v, &out);
    EXPECT_EQ(hr, expectedHr) << "vt " << v.vt;
    if (hr != S_OK) return u"<hr>";
    return out.get() == nullptr ? u"<null>" : std::u16string(out.get());
  }

  std::vector<platform::Bstr> kept_;
};

TEST_F(VariantCoercionTest, IntegersConvertWhenTheyFit) {
  VARIANT v = Make(VT_I2);
  v.iVal = -32768;
  EXPECT_EQ(AsLong(v), -32768);
  v = Make(VT_UI1), v.bVal = 255;
  EXPECT_EQ(AsLong(v), 255);
  v = Make(VT_I1), v.cVal = static_cast<char>(-5);
  EXPECT_EQ(AsLong(v), -5);
  v = Make(VT_UI2), v.uiVal = 65535;
  EXPECT_EQ(AsLong(v), 65535);
  v = Make(VT_INT), v.intVal = INT32_MIN;
  EXPECT_EQ(AsLong(v), INT32_MIN);
  v = Make(VT_UI4), v.ulVal = 2147483647u;
  EXPECT_EQ(AsLong(v), INT32_MAX);
  v.ulVal = 2147483648u;
  AsLong(v, DISP_E_OVERFLOW);
  v = Make(VT_UINT), v.uintVal = 0xFFFFFFFFu;
  AsLong(v, DISP_E_OVERFLOW);
  v = Make(VT_I8), v.llVal = -2147483648LL;
  EXPECT_EQ(AsLong(v), INT32_MIN);
  v.llVal = -2147483649LL;
  AsLong(v, DISP_E_OVERFLOW);
  v = Make(VT_UI8), v.ullVal = 42;
  EXPECT_EQ(AsLong(v), 42);
  v = Make(VT_BOOL), v.boolVal = VARIANT_TRUE;
  EXPECT_EQ(AsLong(v), -1);
  v.boolVal = VARIANT_FALSE;
  EXPECT_EQ(AsLong(v), 0);
  EXPECT_EQ(AsLong(Make(VT_EMPTY)), 0);
}

TEST_F(VariantCoercionTest, RealsRoundHalvesToEven) {
  EXPECT_EQ(AsLong(R8(2.0)), 2);
  EXPECT_EQ(AsLong(R8(2.5)), 2);
  EXPECT_EQ(AsLong(R8(3.5)), 4);
  EXPECT_EQ(AsLong(R8(-2.5)), -2);
  EXPECT_EQ(AsLong(R8(-2.6)), -3);
  EXPECT_EQ(AsLong(R8(2147483647.4)), INT32_MAX);
  AsLong(R8(2147483647.5), DISP_E_OVERFLOW);
  EXPECT_EQ(AsLong(R8(-2147483648.5)), INT32_MIN);  // the even neighbour fits
  AsLong(R8(-2147483649.0), DISP_E_OVERFLOW);
  AsLong(R8(std::nan("")), DISP_E_OVERFLOW);
  AsLong(R8(INFINITY), DISP_E_OVERFLOW);
  VARIANT v = Make(VT_R4);
  v.fltVal = 1.5f;
  EXPECT_EQ(AsLong(v), 2);
  v = Make(VT_DATE), v.date = 45000.5;
  EXPECT_EQ(AsLong(v), 45000);
  v = Make(VT_CY), v.cyVal.int64 = 125000;  // 12.5
  EXPECT_EQ(AsLong(v), 12);
  v.cyVal.int64 = -135000;  // -13.5
  EXPECT_EQ(AsLong(v), -14);
}

TEST_F(VariantCoercionTest, DecimalsRoundHalvesToEven) {
  VARIANT v{};
  v.decVal.scale = 1;
  v.decVal.Lo64 = 25;  // 2.5
  v.vt = VT_DECIMAL;
  EXPECT_EQ(AsLong(v), 2);
  v.decVal.sign = 0x80;  // -2.5
  EXPECT_EQ(AsLong(v), -2);
  v.decVal.sign = 0;
  v.decVal.scale = 0;
  v.decVal.Hi32 = 1;  // 2^64
  v.decVal.Lo64 = 0;
  AsLong(v, DISP_E_OVERFLOW);
  EXPECT_EQ(AsText(v), u"18446744073709551616");
  v.decVal.Hi32 = 0;
  v.decVal.Lo64 = 123450;
  v.decVal.scale = 4;
  EXPECT_EQ(AsText(v), u"12.345");
  v.decVal.scale = 29;
  AsLong(v, DISP_E_OVERFLOW);
}

TEST_F(VariantCoercionTest, TextsAreReadAsNumbers) {
  EXPECT_EQ(AsLong(Text(Keep(u"123"))), 123);
  EXPECT_EQ(AsLong(Text(Keep(u"  -42\t"))), -42);
  EXPECT_EQ(AsLong(Text(Keep(u"+7"))), 7);
  EXPECT_EQ(AsLong(Text(Keep(u"2.5"))), 2);
  EXPECT_EQ(AsLong(Text(Keep(u"1e3"))), 1000);
  EXPECT_EQ(AsLong(Text(Keep(u".5E1"))), 5);
  EXPECT_EQ(AsLong(Text(Keep(u"&H1F"))), 31);
  EXPECT_EQ(AsLong(Text(Keep(u"&hFFFFFFFF"))), -1);
  EXPECT_EQ(AsLong(Text(Keep(u"&O17"))), 15);
  AsLong(Text(Keep(u"&H100000000")), DISP_E_OVERFLOW);
  AsLong(Text(Keep(u"2147483648")), DISP_E_OVERFLOW);
  AsLong(Text(Keep(u"1e400")), DISP_E_OVERFLOW);
  for (std::u16string_view bad : {u"", u"   ", u"abc", u"12abc", u"1e", u"--1", u".", u"&H", u"&O8",
                                  u"&X1", u"1 2", u"\uFF11"}) {
    AsLong(Text(Keep(bad)), DISP_E_TYPEMISMATCH);
  }
  AsLong(Text(nullptr), DISP_E_TYPEMISMATCH);
}

TEST_F(VariantCoercionTest, TextParametersTakeTextsAndNumbers) {
  BSTR original = Keep(u"證券\u0000tail");
  TextArgument borrowed;
  ASSERT_EQ(CoerceToText(Text(original), &borrowed), S_OK);
  EXPECT_EQ(borrowed.get(), original) << "a BSTR argument is passed as it is";
  EXPECT_EQ(AsText(Make(VT_EMPTY)), u"<null>");
  EXPECT_EQ(AsText(Make(VT_NULL)), u"<null>");
  EXPECT_EQ(AsText(Text(nullptr)), u"<null>");

  VARIANT v = Make(VT_I4);
  v.lVal = -123;
  EXPECT_EQ(AsText(v), u"-123");
  v = Make(VT_UI8), v.ullVal = 18446744073709551615ull;
  EXPECT_EQ(AsText(v), u"18446744073709551615");
  v = Make(VT_BOOL), v.boolVal = VARIANT_TRUE;
  EXPECT_EQ(AsText(v), u"-1");
  EXPECT_EQ(AsText(R8(1.5)), u"1.5");
  EXPECT_EQ(AsText(R8(100)), u"100");
  EXPECT_EQ(AsText(R8(1e20)), u"1E+20");
  v = Make(VT_CY), v.cyVal.int64 = -12345;
  EXPECT_EQ(AsText(v), u"-1.2345");
  v.cyVal.int64 = 50000;
  EXPECT_EQ(AsText(v), u"5");
  v = Make(VT_DATE), v.date = 1.0;
  AsText(v, DISP_E_TYPEMISMATCH);
}

TEST_F(VariantCoercionTest, ReferencesAreFollowedOnce) {
  LONG value = 31;
  VARIANT v = Make(VT_I4 | VT_BYREF);
  v.plVal = &value;
  EXPECT_EQ(AsLong(v), 31);
  BSTR text = Keep(u"byref");
  v = Make(VT_BSTR | VT_BYREF), v.pbstrVal = &text;
  EXPECT_EQ(AsText(v), u"byref");
  double real = 7.5;
  VARIANT inner = Make(VT_R8 | VT_BYREF);
  inner.pdblVal = &real;
  v = Make(VT_VARIANT | VT_BYREF), v.pvarVal = &inner;
  EXPECT_EQ(AsLong(v), 8);
  VARIANT twice = Make(VT_VARIANT | VT_BYREF);
  twice.pvarVal = &v;
  AsLong(twice, DISP_E_BADVARTYPE);
  v = Make(VT_I4 | VT_BYREF), v.plVal = nullptr;
  AsLong(v, DISP_E_TYPEMISMATCH);
  v = Make(VT_EMPTY | VT_BYREF), v.byref = &value;
  AsLong(v, DISP_E_BADVARTYPE);
}

TEST_F(VariantCoercionTest, ValuesWithoutANumberOrTextAreRefused) {
  AsLong(Make(VT_NULL), DISP_E_TYPEMISMATCH);
  VARIANT error = Make(VT_ERROR);
  error.scode = DISP_E_PARAMNOTFOUND;
  EXPECT_TRUE(IsMissingArgument(error));
  AsLong(error, DISP_E_TYPEMISMATCH);
  AsText(error, DISP_E_TYPEMISMATCH);
  AsLong(Make(VT_DISPATCH), DISP_E_TYPEMISMATCH);
  AsText(Make(VT_UNKNOWN), DISP_E_TYPEMISMATCH);
  AsLong(Make(VT_I4 | VT_ARRAY), DISP_E_TYPEMISMATCH);
  AsLong(Make(VT_VARIANT), DISP_E_BADVARTYPE);
  AsLong(Make(0x7FF), DISP_E_BADVARTYPE);
  AsText(Make(VT_VOID), DISP_E_BADVARTYPE);
}

}  // namespace
}  // namespace zyq::com
