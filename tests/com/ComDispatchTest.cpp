// Late binding: IDispatch and the type information of IZYQapi, after DllRegisterServer has
// recorded the type library.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "api/OperationTable.h"
#include "tests/com/ComClient.h"

namespace zyq::test {
namespace {

VARIANT Long(LONG v) {
  VARIANT r{};
  r.vt = VT_I4;
  r.lVal = v;
  return r;
}

// Arguments in the order of the method's parameters; Invoke gets them reversed.
struct Arguments {
  explicit Arguments(std::vector<VARIANT> inOrder) : values(std::move(inOrder)) {
    std::reverse(values.begin(), values.end());
    params.rgvarg = values.empty() ? nullptr : values.data();
    params.cArgs = static_cast<UINT>(values.size());
  }
  std::vector<VARIANT> values;
  DISPPARAMS params{};
};

class ComDispatchTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(lib.registerServer(), S_OK);
    api = lib.Create();
  }
  void TearDown() override {
    api.Reset();
    EXPECT_EQ(lib.canUnloadNow(), S_OK);
  }

  DISPID Id(const char16_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 12345;
    EXPECT_EQ(api->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK)
        << std::string(name, name + std::char_traits<char16_t>::length(name));
    return id;
  }

  HRESULT Invoke(DISPID id, Arguments& args, VARIANT* result, UINT* argErr = nullptr,
                 WORD flags = DISPATCH_METHOD) {
    return api->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &args.params, result, nullptr,
                       argErr);
  }

  // The text of a VT_BSTR result (freed), or "<vt N>" for another type.
  std::u16string TextOf(VARIANT& v) {
    if (v.vt != VT_BSTR) return u"<vt " + std::u16string(1, char16_t(u'0' + v.vt)) + u">";
    return lib.Take(v.bstrVal).value_or(u"");
  }

  LONG ErrorCode() {
    LONG code = -12345;
    EXPECT_EQ(api->GetErrorCode(&code), S_OK);
    return code;
  }

  ComClient lib;
  ComPtr<IZYQapi> api;
};

TEST_F(ComDispatchTest, NamesResolveWithoutRegardToCase) {
  LONG dispid;
  UINT count = 0;
  ASSERT_EQ(api->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
#define ZYQ_EXPECT_DISPID(order, Dispid, Name, ...) \
  dispid = Dispid;                                  \
  EXPECT_EQ(Id(u## #Name), dispid);
  ZYQ_FOR_EACH_OPERATION(ZYQ_EXPECT_DISPID)
#undef ZYQ_EXPECT_DISPID
  EXPECT_EQ(Id(u"getversion"), 1);
  EXPECT_EQ(Id(u"GETERRORMSG"), 3);
  EXPECT_EQ(Id(u"gEtReGiStErUsErMoDe"), 53);

  LPOLESTR unknown[] = {const_cast<LPOLESTR>(u"GetVersionX")};
  DISPID id = 0;
  EXPECT_EQ(api->GetIDsOfNames(IID_NULL, unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  EXPECT_EQ(api->GetIDsOfNames(IID_IZYQapi, unknown, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);

  // Parameter names get their positions.
  LPOLESTR withParams[] = {const_cast<LPOLESTR>(u"presetpasswdlengthrange"),
                           const_cast<LPOLESTR>(u"MAX"), const_cast<LPOLESTR>(u"min")};
  DISPID ids[3] = {};
  EXPECT_EQ(api->GetIDsOfNames(IID_NULL, withParams, 3, 0, ids), S_OK);
  EXPECT_EQ(ids[0], 7);
  EXPECT_EQ(ids[1], 1);
  EXPECT_EQ(ids[2], 0);
  withParams[1] = const_cast<LPOLESTR>(u"maximum");
  EXPECT_EQ(api->GetIDsOfNames(IID_NULL, withParams, 3, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], 7);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
  EXPECT_EQ(ids[2], 0);
}

// Every operation of the table, called through the vtable and then by name through Invoke with
// the same arguments on the same object: same outcome, and the same result where the operation
// is a plain reading of state.
TEST_F(ComDispatchTest, LateBindingGivesWhatTheVtableGives) {
  std::vector<BSTR> owned;
  [[maybe_unused]] auto sampleText = [&](std::string_view name) {
    std::u16string s = u"zyq-com-test-" + std::u16string(name.begin(), name.end());
    owned.push_back(lib.sysAllocString(s.c_str()));
    return owned.back();
  };
  auto variantOf = [](auto value) {
    VARIANT v{};
    if constexpr (std::is_same_v<decltype(value), BSTR>) {
      v.vt = VT_BSTR;
      v.bstrVal = value;
    } else {
      v.vt = VT_I4;
      v.lVal = value;
    }
    return v;
  };
  // Same outcome; a text result empty on both sides or on neither; the same value for readings
  // of state and for integers.
  auto compare = [&](auto early, VARIANT& late, bool plainReading) {
    if constexpr (std::is_same_v<decltype(early), BSTR>) {
      const std::u16string earlyText = lib.Take(early).value_or(u"");
      ASSERT_EQ(late.vt, VT_BSTR);
      const std::u16string lateText = lib.Take(late.bstrVal).value_or(u"");
      EXPECT_EQ(earlyText.empty(), lateText.empty());
      if (plainReading) {
        EXPECT_EQ(earlyText, lateText);
      }
    } else {
      ASSERT_EQ(late.vt, VT_I4);
      EXPECT_EQ(late.lVal, early);
    }
  };
  int calls = 0;

#define ZYQ_T_ARG_TEXT(name) sampleText(#name)
#define ZYQ_T_ARG_INT(name) LONG(0)
#define ZYQ_T_ARG(arg) ZYQ_ARG_KIND(ZYQ_T_ARG_, arg)
#define ZYQ_T_RESULT_TEXT BSTR
#define ZYQ_T_RESULT_INT LONG
#define ZYQ_T_COMPARE(order, dispid, Name, Flat, Result, ...)                                \
  {                                                                                          \
    SCOPED_TRACE(#Name);                                                                     \
    auto args = std::make_tuple(ZYQ_MAP_ARGS(ZYQ_T_ARG, __VA_ARGS__));                       \
    ZYQ_T_RESULT_##Result early{};                                                           \
    ASSERT_EQ(std::apply([&](auto... a) { return api->Name(a..., &early); }, args), S_OK);   \
    const LONG earlyCode = ErrorCode();                                                      \
    Arguments late(                                                                          \
        std::apply([&](auto... a) { return std::vector<VARIANT>{variantOf(a)...}; }, args)); \
    VARIANT lateResult{};                                                                    \
    ASSERT_EQ(Invoke(dispid, late, &lateResult), S_OK);                                      \
    EXPECT_EQ(ErrorCode(), earlyCode);                                                       \
    compare(early, lateResult, std::tuple_size_v<decltype(args)> == 0);                      \
    ++calls;                                                                                 \
  }
  ZYQ_FOR_EACH_OPERATION(ZYQ_T_COMPARE)
  for (BSTR b : owned) lib.sysFreeString(b);
  EXPECT_GT(calls, 0);
}

TEST_F(ComDispatchTest, ArgumentsAreConvertedAsVariantChangeTypeDoes) {
  const DISPID preset = Id(u"PresetPasswdLengthRange");
  LONG byRefLong = 9;
  VARIANT inner = Long(4);
  BSTR digits = lib.sysAllocString(u" 12 ");
  std::vector<std::vector<VARIANT>> accepted;
  auto add = [&](VARIANT a, VARIANT b) { accepted.push_back({a, b}); };
  VARIANT v{};
  v.vt = VT_I2, v.iVal = -3, add(v, Long(1));
  v.vt = VT_UI1, v.bVal = 200, add(Long(1), v);
  v.vt = VT_R8, v.dblVal = 16.0, add(Long(1), v);
  v.vt = VT_BOOL, v.boolVal = VARIANT_TRUE, add(v, v);
  v.vt = VT_BSTR, v.bstrVal = digits, add(v, Long(1));
  v.vt = VT_EMPTY, add(v, v);
  v.vt = VT_I4 | VT_BYREF, v.plVal = &byRefLong, add(v, Long(1));
  v.vt = VT_VARIANT | VT_BYREF, v.pvarVal = &inner, add(Long(1), v);
  for (auto& pair : accepted) {
    Arguments args({pair[0], pair[1]});
    VARIANT result{};
    EXPECT_EQ(Invoke(preset, args, &result), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 0);
  }

  // A failed conversion names the argument by its index in rgvarg (last argument first).
  struct Refused {
    VARIANT min, max;
    HRESULT error;
    UINT argErr;
  };
  BSTR letters = lib.sysAllocString(u"abc");
  VARIANT text{}, huge{}, null{}, missing{}, bad{};
  text.vt = VT_BSTR, text.bstrVal = letters;
  huge.vt = VT_R8, huge.dblVal = 1e20;
  null.vt = VT_NULL;
  missing.vt = VT_ERROR, missing.scode = DISP_E_PARAMNOTFOUND;
  bad.vt = 0x7FF;
  for (const Refused& r :
       {Refused{text, Long(1), DISP_E_TYPEMISMATCH, 1},
        Refused{Long(1), text, DISP_E_TYPEMISMATCH, 0}, Refused{huge, Long(1), DISP_E_OVERFLOW, 1},
        Refused{Long(1), null, DISP_E_TYPEMISMATCH, 0},
        Refused{missing, Long(1), DISP_E_TYPEMISMATCH, 1},
        Refused{Long(1), bad, DISP_E_BADVARTYPE, 0}}) {
    Arguments args({r.min, r.max});
    UINT argErr = 99;
    VARIANT result{};
    EXPECT_EQ(Invoke(preset, args, &result, &argErr), r.error);
    EXPECT_EQ(argErr, r.argErr);
    EXPECT_EQ(result.vt, VT_EMPTY);
  }
  lib.sysFreeString(digits);
  lib.sysFreeString(letters);

#ifdef DISPID_IZYQapi_Hash
  // Text parameters: a number is written in decimal, VT_EMPTY is an empty text, VT_NULL is
  // refused and named by its index in rgvarg.
  BSTR decimal = lib.sysAllocString(u"-123");
  Arguments asText({[&] {
                      VARIANT t{};
                      t.vt = VT_BSTR;
                      t.bstrVal = decimal;
                      return t;
                    }(),
                    Long(3)});
  Arguments asNumber({Long(-123), Long(3)});
  VARIANT a{}, b{};
  ASSERT_EQ(Invoke(DISPID_IZYQapi_Hash, asText, &a), S_OK);
  ASSERT_EQ(Invoke(DISPID_IZYQapi_Hash, asNumber, &b), S_OK);
  EXPECT_EQ(TextOf(a), TextOf(b));
  lib.sysFreeString(decimal);
  VARIANT empty{};
  Arguments none({empty, Long(3)});
  VARIANT c{};
  ASSERT_EQ(Invoke(DISPID_IZYQapi_Hash, none, &c), S_OK);
  EXPECT_EQ(TextOf(c), u"");
  EXPECT_EQ(ErrorCode(), 5005);
  VARIANT nullText{};
  nullText.vt = VT_NULL;
  Arguments refused({nullText, Long(3)});
  UINT argErr = 99;
  VARIANT d{};
  EXPECT_EQ(Invoke(DISPID_IZYQapi_Hash, refused, &d, &argErr), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 1u);
  EXPECT_EQ(d.vt, VT_EMPTY);
#endif
}

TEST_F(ComDispatchTest, CallShapeIsChecked) {
  const DISPID preset = Id(u"PresetPasswdLengthRange");
  const DISPID version = Id(u"GetVersion");
  VARIANT result{};
  Arguments one({Long(1)});
  EXPECT_EQ(Invoke(preset, one, &result), DISP_E_BADPARAMCOUNT);
  Arguments three({Long(1), Long(2), Long(3)});
  EXPECT_EQ(Invoke(preset, three, &result), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(version, one, &result), DISP_E_BADPARAMCOUNT);
  Arguments none({});
  EXPECT_EQ(Invoke(9999, none, &result), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(api->Invoke(version, IID_IZYQapi, 0, DISPATCH_METHOD, &none.params, &result, nullptr,
                        nullptr),
            DISP_E_UNKNOWNINTERFACE);
  EXPECT_EQ(result.vt, VT_EMPTY);

  // A method without parameters may be read as a property; nothing may be written.
  EXPECT_EQ(Invoke(version, none, &result, nullptr, DISPATCH_PROPERTYGET), S_OK);
  EXPECT_EQ(TextOf(result), u"4.0.1.2");
  EXPECT_EQ(Invoke(version, none, &result, nullptr, DISPATCH_METHOD | DISPATCH_PROPERTYGET), S_OK);
  EXPECT_EQ(TextOf(result), u"4.0.1.2");
  Arguments pair({Long(1), Long(2)});
  EXPECT_EQ(Invoke(preset, pair, &result, nullptr, DISPATCH_PROPERTYGET), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Invoke(version, none, &result, nullptr, DISPATCH_PROPERTYPUT), DISP_E_MEMBERNOTFOUND);

  // Without a place for the result the call still runs (and its text is freed).
  EXPECT_EQ(Invoke(version, none, nullptr), S_OK);
}

TEST_F(ComDispatchTest, NamedArgumentsFindTheirParameters) {
  const DISPID preset = Id(u"PresetPasswdLengthRange");
  VARIANT result{};
  Arguments byName({Long(16), Long(1)});  // rgvarg = {1, 16}
  DISPID names[] = {0, 1};                // rgvarg[0] is min, rgvarg[1] is max
  byName.params.rgdispidNamedArgs = names;
  byName.params.cNamedArgs = 2;
  EXPECT_EQ(Invoke(preset, byName, &result), S_OK);

  DISPID twice[] = {1, 1};
  byName.params.rgdispidNamedArgs = twice;
  UINT argErr = 99;
  EXPECT_EQ(Invoke(preset, byName, &result, &argErr), DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(argErr, 1u);
  DISPID outside[] = {5};
  byName.params.rgdispidNamedArgs = outside;
  byName.params.cNamedArgs = 1;
  EXPECT_EQ(Invoke(preset, byName, &result, &argErr), DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(argErr, 0u);
  // A named argument may not name a parameter that a positional one already fills.
  DISPID positional[] = {0};
  byName.params.rgdispidNamedArgs = positional;
  EXPECT_EQ(Invoke(preset, byName, &result, &argErr), DISP_E_PARAMNOTFOUND);
}

TEST_F(ComDispatchTest, TypeInformationDescribesTheInterface) {
  ComPtr<ITypeInfo> info;
  EXPECT_EQ(api->GetTypeInfo(1, 0, info.Out()), DISP_E_BADINDEX);
  ASSERT_EQ(api->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Out()), S_OK);
  EXPECT_EQ(lib.canUnloadNow(), S_FALSE) << "the type information is held";

  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(&attr->guid, &IID_IZYQapi));
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE);
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  const UINT functions = attr->cFuncs;
  info->ReleaseTypeAttr(attr);

  struct Expected {
    DISPID dispid;
    std::u16string name;
    VARTYPE result;
    std::vector<VARTYPE> params;
  };
  std::vector<Expected> expected;
#define ZYQ_T_VT_TEXT VARTYPE(VT_BSTR)
#define ZYQ_T_VT_INT VARTYPE(VT_I4)
#define ZYQ_T_PVT_TEXT(name) VARTYPE(VT_BSTR)
#define ZYQ_T_PVT_INT(name) VARTYPE(VT_I4)
#define ZYQ_T_PVT(arg) ZYQ_ARG_KIND(ZYQ_T_PVT_, arg)
#define ZYQ_T_EXPECTED(order, dispid, Name, Flat, Result, ...) \
  expected.push_back(                                          \
      {dispid, u## #Name, ZYQ_T_VT_##Result, {ZYQ_MAP_ARGS(ZYQ_T_PVT, __VA_ARGS__)}});
  ZYQ_FOR_EACH_OPERATION(ZYQ_T_EXPECTED)
  ASSERT_EQ(functions, expected.size());

  for (UINT i = 0; i < functions; ++i) {
    FUNCDESC* desc = nullptr;
    ASSERT_EQ(info->GetFuncDesc(i, &desc), S_OK);
    EXPECT_EQ(desc->memid, expected[i].dispid);
    EXPECT_EQ(desc->funckind, FUNC_DISPATCH);
    EXPECT_EQ(desc->invkind, INVOKE_FUNC);
    EXPECT_EQ(desc->elemdescFunc.tdesc.vt, expected[i].result);
    ASSERT_EQ(desc->cParams, static_cast<SHORT>(expected[i].params.size()));
    for (SHORT p = 0; p < desc->cParams; ++p) {
      EXPECT_EQ(desc->lprgelemdescParam[p].tdesc.vt, expected[i].params[p]);
      EXPECT_EQ(desc->lprgelemdescParam[p].paramdesc.wParamFlags, PARAMFLAG_FIN);
    }
    info->ReleaseFuncDesc(desc);

    BSTR names[8] = {};
    UINT count = 0;
    ASSERT_EQ(info->GetNames(expected[i].dispid, names, 8, &count), S_OK);
    ASSERT_EQ(count, 1 + expected[i].params.size());
    EXPECT_EQ(lib.Take(names[0]), expected[i].name);
    for (UINT n = 1; n < count; ++n) lib.sysFreeString(names[n]);

    BSTR name = nullptr, doc = nullptr;
    ASSERT_EQ(info->GetDocumentation(expected[i].dispid, &name, &doc, nullptr, nullptr), S_OK);
    EXPECT_EQ(lib.Take(name), expected[i].name);
    EXPECT_EQ(lib.Take(doc), u"method " + expected[i].name);
  }
  FUNCDESC* beyond = nullptr;
  EXPECT_EQ(info->GetFuncDesc(functions, &beyond), TYPE_E_ELEMENTNOTFOUND);
  BSTR doc = nullptr;
  ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, nullptr, &doc, nullptr, nullptr), S_OK);
  EXPECT_EQ(lib.Take(doc), u"ZYQSecuritiesATL 安控元件組 CAPI 版 4.0 Interface");

  // Invoke through the type information reaches the same method.
  Arguments none({});
  VARIANT result{};
  ASSERT_EQ(info->Invoke(api.get(), Id(u"GetVersion"), DISPATCH_METHOD, &none.params, &result,
                         nullptr, nullptr),
            S_OK);
  EXPECT_EQ(TextOf(result), u"4.0.1.2");
  LPOLESTR names[] = {const_cast<LPOLESTR>(u"GETERRORCODE")};
  MEMBERID id = 0;
  EXPECT_EQ(info->GetIDsOfNames(names, 1, &id), S_OK);
  EXPECT_EQ(id, 2);
  info.Reset();
}

// Tools walk from an interface's type information to its library and from there to every type
// it holds; each reference they take keeps the server, and only those.
TEST_F(ComDispatchTest, TypeInformationLeadsToItsLibraryAndBack) {
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(api->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Out()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->lcid, 0x0409u);
  info->ReleaseTypeAttr(attr);

  ComPtr<ITypeLib> library;
  UINT index = 99;
  ASSERT_EQ(info->GetContainingTypeLib(library.Out(), &index), S_OK);
  ASSERT_TRUE(library);
  EXPECT_EQ(index, 0u);
  TLIBATTR* libAttr = nullptr;
  ASSERT_EQ(library->GetLibAttr(&libAttr), S_OK);
  EXPECT_TRUE(IsEqualGUID(&libAttr->guid, &LIBID_ZYQSECURITIESATLLib));
  EXPECT_EQ(libAttr->lcid, 0x0409u);
  EXPECT_EQ(libAttr->syskind, SYS_WIN64);
  EXPECT_EQ(libAttr->wMajorVerNum, 1);
  EXPECT_EQ(libAttr->wMinorVerNum, 0);
  library->ReleaseTLibAttr(libAttr);
  BSTR name = nullptr, doc = nullptr;
  ASSERT_EQ(library->GetDocumentation(-1, &name, &doc, nullptr, nullptr), S_OK);
  EXPECT_EQ(lib.Take(name), u"ZYQSECURITIESATLLib");
  EXPECT_EQ(lib.Take(doc), u"ZYQSecuritiesATL 安控元件組 CAPI 版 4.0 Type Library");

  // Back from the library: the same type information at the index it gave.
  EXPECT_EQ(library->GetTypeInfoCount(), 2u);
  ComPtr<ITypeInfo> again;
  ASSERT_EQ(library->GetTypeInfo(index, again.Out()), S_OK);
  EXPECT_EQ(again.get(), info.get());
  ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IZYQapi, again.Out()), S_OK);
  EXPECT_EQ(again.get(), info.get());
  EXPECT_EQ(library->GetTypeInfo(2, again.Out()), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_FALSE(again);
  TYPEKIND kinds[2] = {TKIND_MAX, TKIND_MAX};
  EXPECT_EQ(library->GetTypeInfoType(0, &kinds[0]), S_OK);
  EXPECT_EQ(library->GetTypeInfoType(1, &kinds[1]), S_OK);
  EXPECT_EQ(kinds[0], TKIND_DISPATCH);
  EXPECT_EQ(kinds[1], TKIND_COCLASS);
  EXPECT_EQ(library->GetTypeInfoType(2, &kinds[0]), TYPE_E_ELEMENTNOTFOUND);
  ASSERT_EQ(library->GetDocumentation(0, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(lib.Take(name), u"IZYQapi");

  // The class: creatable, IZYQapi its default interface, in the same library at index 1.
  ComPtr<ITypeInfo> coclass;
  ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_ZYQapi, coclass.Out()), S_OK);
  ASSERT_EQ(library->GetTypeInfo(1, again.Out()), S_OK);
  EXPECT_EQ(again.get(), coclass.get());
  again.Reset();
  ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(&attr->guid, &CLSID_ZYQapi));
  EXPECT_EQ(attr->typekind, TKIND_COCLASS);
  EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FCANCREATE);
  EXPECT_EQ(attr->cImplTypes, 1);
  EXPECT_EQ(attr->lcid, 0x0409u);
  coclass->ReleaseTypeAttr(attr);
  HREFTYPE ref = 0;
  INT implFlags = 0;
  ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &ref), S_OK);
  ASSERT_EQ(coclass->GetImplTypeFlags(0, &implFlags), S_OK);
  EXPECT_EQ(implFlags, IMPLTYPEFLAG_FDEFAULT);
  ASSERT_EQ(coclass->GetRefTypeInfo(ref, again.Out()), S_OK);
  EXPECT_EQ(again.get(), info.get());
  EXPECT_EQ(coclass->GetRefTypeOfImplType(1, &ref), TYPE_E_ELEMENTNOTFOUND);
  ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr), S_OK);
  EXPECT_EQ(lib.Take(name), u"ZYQapi");
  EXPECT_EQ(lib.Take(doc), u"ZYQSecuritiesATL 安控元件組 CAPI 版 4.0 Class");
  ComPtr<ITypeLib> libraryOfClass;
  index = 99;
  ASSERT_EQ(coclass->GetContainingTypeLib(libraryOfClass.Out(), &index), S_OK);
  EXPECT_EQ(libraryOfClass.get(), library.get());
  EXPECT_EQ(index, 1u);
  ComPtr<IZYQapi> made;
  ASSERT_EQ(coclass->CreateInstance(nullptr, IID_IZYQapi, made.OutVoid()), S_OK);
  BSTR version = nullptr;
  EXPECT_EQ(made->GetVersion(&version), S_OK);
  EXPECT_EQ(lib.Take(version), u"4.0.1.2");
  made.Reset();

  // Names, without regard to case.
  OLECHAR method[] = u"getVERSION";
  BOOL isName = FALSE;
  ASSERT_EQ(library->IsName(method, 0, &isName), S_OK);
  EXPECT_TRUE(isName);
  EXPECT_EQ(std::u16string(method), u"GetVersion");
  OLECHAR unknown[] = u"NoSuchName";
  ASSERT_EQ(library->IsName(unknown, 0, &isName), S_OK);
  EXPECT_FALSE(isName);
  OLECHAR className[] = u"zyqapi";
  ITypeInfo* found[2] = {};
  MEMBERID memids[2] = {};
  USHORT count = 2;
  ASSERT_EQ(library->FindName(className, 0, found, memids, &count), S_OK);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(found[0], coclass.get());
  EXPECT_EQ(memids[0], MEMBERID_NIL);
  found[0]->Release();

  // Only the library left held: it still keeps the server.
  info.Reset();
  again.Reset();
  coclass.Reset();
  libraryOfClass.Reset();
  api.Reset();
  EXPECT_EQ(lib.canUnloadNow(), S_FALSE) << "the type library is held";
  library.Reset();
  EXPECT_EQ(lib.canUnloadNow(), S_OK);
}

}  // namespace
}  // namespace zyq::test
