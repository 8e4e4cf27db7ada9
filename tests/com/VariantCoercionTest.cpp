// The argument conversions of IDispatch::Invoke against the values VariantChangeType gives.
#include "api/com/VariantCoercion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

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
  TextArgument empty;
  ASSERT_EQ(CoerceToText(Make(VT_EMPTY), &empty), S_OK);
  ASSERT_NE(empty.get(), nullptr) << "VT_EMPTY is an empty text, not a missing one";

  VARIANT v = Make(VT_UI8);
  v.ullVal = 18446744073709551615ull;
  EXPECT_EQ(AsText(v), u"18446744073709551615");
  EXPECT_EQ(AsText(R8(100)), u"100");
  EXPECT_EQ(AsText(R8(1e20)), u"1E+20");
  v = Make(VT_CY), v.cyVal.int64 = -12345;
  EXPECT_EQ(AsText(v), u"-1.2345");
  v.cyVal.int64 = 50000;
  EXPECT_EQ(AsText(v), u"5");
}

// Dates are written as VariantChangeType writes them for the locale 0x0409.
TEST_F(VariantCoercionTest, DatesAreWrittenAsTheEnglishLocaleWritesThem) {
  struct DateCase {
    double date;
    std::u16string text;
  };
  for (const DateCase& c : {
           DateCase{0.0, u"12:00:00 AM"},
           DateCase{3.34, u"1/2/1900 8:09:36 AM"},
           DateCase{3339.34, u"2/20/1909 8:09:36 AM"},
           DateCase{365.0, u"12/30/1900"},
           DateCase{365.25, u"12/30/1900 6:00:00 AM"},
           DateCase{1461.0, u"12/31/1903"},
           DateCase{1461.5, u"12/31/1903 12:00:00 PM"},
           DateCase{-49192.24, u"4/24/1765 5:45:36 AM"},
           DateCase{-1.25, u"12/29/1899 6:00:00 AM"},
           DateCase{-657434.0, u"1/1/100"},
           DateCase{2958465.0, u"12/31/9999"},
           DateCase{0.5 + 0.4 / 86400, u"12:00:00 PM"},
           DateCase{0.5 + 0.6 / 86400, u"12:00:01 PM"},
           DateCase{36525.999999999, u"1/1/2000 12:00:00 AM"},  // rounds up to the next day
           DateCase{45000.75, u"3/15/2023 6:00:00 PM"},
       }) {
    VARIANT v = Make(VT_DATE);
    v.date = c.date;
    EXPECT_EQ(AsText(v), c.text) << c.date;
  }
  for (double outside : {-657435.0, 2958466.0, std::nan(""), double{INFINITY}}) {
    VARIANT v = Make(VT_DATE);
    v.date = outside;
    AsText(v, E_INVALIDARG);
  }
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

// Every VARTYPE, as a text parameter and as an integer parameter: what it becomes or why it is
// refused.
TEST_F(VariantCoercionTest, EveryVariantTypeIsConvertedOrRefused) {
  struct Row {
    VARIANT value;
    HRESULT textHr;
    std::u16string text;  // "<null>" for a null BSTR
    HRESULT longHr;
    LONG integer;
  };
  auto with = [](VARTYPE vt, auto set) {
    VARIANT v = Make(vt);
    set(v);
    return v;
  };
  const HRESULT kMismatch = DISP_E_TYPEMISMATCH, kBadType = DISP_E_BADVARTYPE;
  LONG refLong = 31;
  BSTR refText = Keep(u"byref");
  DATE refDate = 1461.5;
  SCODE refMissing = DISP_E_PARAMNOTFOUND;
  VARIANT innerReal = R8(7.5);
  DECIMAL decimal{};
  decimal.scale = 3;
  decimal.Lo64 = 12345;
  const std::vector<Row> rows = {
      {Make(VT_EMPTY), S_OK, u"", S_OK, 0},
      {Make(VT_NULL), kMismatch, u"", kMismatch, 0},
      {with(VT_I2, [](VARIANT& v) { v.iVal = -3; }), S_OK, u"-3", S_OK, -3},
      {with(VT_I4, [](VARIANT& v) { v.lVal = 123456; }), S_OK, u"123456", S_OK, 123456},
      {with(VT_R4, [](VARIANT& v) { v.fltVal = 2.5f; }), S_OK, u"2.5", S_OK, 2},
      {R8(-1234.5678), S_OK, u"-1234.5678", S_OK, -1235},
      {with(VT_CY, [](VARIANT& v) { v.cyVal.int64 = 125000; }), S_OK, u"12.5", S_OK, 12},
      {with(VT_DATE, [](VARIANT& v) { v.date = 3.34; }), S_OK, u"1/2/1900 8:09:36 AM", S_OK, 3},
      {Text(Keep(u" 42 ")), S_OK, u" 42 ", S_OK, 42},
      {Text(nullptr), S_OK, u"<null>", kMismatch, 0},
      {Make(VT_DISPATCH), kMismatch, u"", kMismatch, 0},
      {with(VT_ERROR, [](VARIANT& v) { v.scode = DISP_E_PARAMNOTFOUND; }), kMismatch, u"",
       kMismatch, 0},
      {with(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_TRUE; }), S_OK, u"-1", S_OK, -1},
      {with(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_FALSE; }), S_OK, u"0", S_OK, 0},
      {Make(VT_VARIANT), kBadType, u"", kBadType, 0},
      {Make(VT_UNKNOWN), kMismatch, u"", kMismatch, 0},
      {with(VT_DECIMAL, [&](VARIANT& v) { v.decVal = decimal, v.vt = VT_DECIMAL; }), S_OK,
       u"12.345", S_OK, 12},
      {Make(15), kBadType, u"", kBadType, 0},
      {with(VT_I1, [](VARIANT& v) { v.cVal = -5; }), S_OK, u"-5", S_OK, -5},
      {with(VT_UI1, [](VARIANT& v) { v.bVal = 200; }), S_OK, u"200", S_OK, 200},
      {with(VT_UI2, [](VARIANT& v) { v.uiVal = 65535; }), S_OK, u"65535", S_OK, 65535},
      {with(VT_UI4, [](VARIANT& v) { v.ulVal = 4000000000u; }), S_OK, u"4000000000",
       DISP_E_OVERFLOW, 0},
      {with(VT_I8, [](VARIANT& v) { v.llVal = -9000000000LL; }), S_OK, u"-9000000000",
       DISP_E_OVERFLOW, 0},
      {with(VT_UI8, [](VARIANT& v) { v.ullVal = 7; }), S_OK, u"7", S_OK, 7},
      {with(VT_INT, [](VARIANT& v) { v.intVal = -7; }), S_OK, u"-7", S_OK, -7},
      {with(VT_UINT, [](VARIANT& v) { v.uintVal = 8; }), S_OK, u"8", S_OK, 8},
      {Make(VT_VOID), kBadType, u"", kBadType, 0},
      {Make(VT_HRESULT), kBadType, u"", kBadType, 0},
      {Make(VT_RECORD), kMismatch, u"", kMismatch, 0},
      {Make(VT_I4 | VT_ARRAY), kMismatch, u"", kMismatch, 0},
      {with(VT_I4 | VT_BYREF, [&](VARIANT& v) { v.plVal = &refLong; }), S_OK, u"31", S_OK, 31},
      {with(VT_BSTR | VT_BYREF, [&](VARIANT& v) { v.pbstrVal = &refText; }), S_OK, u"byref",
       kMismatch, 0},
      {with(VT_DATE | VT_BYREF, [&](VARIANT& v) { v.pdate = &refDate; }), S_OK,
       u"12/31/1903 12:00:00 PM", S_OK, 1462},
      {with(VT_ERROR | VT_BYREF, [&](VARIANT& v) { v.pscode = &refMissing; }), kMismatch, u"",
       kMismatch, 0},
      {with(VT_VARIANT | VT_BYREF, [&](VARIANT& v) { v.pvarVal = &innerReal; }), S_OK, u"7.5", S_OK,
       8},
      {with(VT_NULL | VT_BYREF, [&](VARIANT& v) { v.byref = &refLong; }), kBadType, u"", kBadType,
       0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "vt 0x" << std::hex << row.value.vt);
    EXPECT_EQ(AsText(row.value, row.textHr), row.textHr == S_OK ? row.text : u"<hr>");
    const std::optional<LONG> integer = AsLong(row.value, row.longHr);
    if (row.longHr == S_OK) {
      EXPECT_EQ(integer, row.integer);
    }
  }
}

}  // namespace
}  // namespace zyq::com
