// A C++ client of the registered server, as a Windows program uses it: CoCreateInstance by the
// ProgID's CLSID, early binding through the public header's IZYQapi and late binding through
// IDispatch, which the system drives with the registered type library. Run by run_com_clients.sh
// between registration and unregistration.
#include <windows.h>
// (the headers below need windows.h first)
#include <objsafe.h>
#include <oleauto.h>

// The public header, over the system's own COM types and base interfaces.
#define ZYQ_COM_BASE_TYPES_DEFINED 1
#define ZYQ_COM_BASE_INTERFACES_DEFINED 1
#include "ZYQapi.h"
// (after the header, which gives the class and interface identities)
#include <gtest/gtest.h>

#include <string>
#include <vector>

// The operation table's argument kind TEXT(name), not the system's TEXT("...") macro.
#undef TEXT
#include "api/OperationTable.h"

namespace {

// Releases an interface at the end of its scope.
template <typename I>
class Ref {
 public:
  Ref() = default;
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() {
    if (p_ != nullptr) p_->Release();
  }
  I** out() { return &p_; }
  void** outVoid() { return reinterpret_cast<void**>(&p_); }
  I* operator->() const { return p_; }
  I* get() const { return p_; }

 private:
  I* p_ = nullptr;
};

// Takes a BSTR result: its text, freed.
std::wstring Take(BSTR b) {
  std::wstring s = b != nullptr ? std::wstring(b, SysStringLen(b)) : L"<null>";
  SysFreeString(b);
  return s;
}

// A BSTR argument that lives for one call.
class Arg {
 public:
  explicit Arg(const wchar_t* text) : b_(SysAllocString(text)) {}
  Arg(const Arg&) = delete;
  Arg& operator=(const Arg&) = delete;
  ~Arg() { SysFreeString(b_); }
  operator BSTR() const { return b_; }

 private:
  BSTR b_;
};

VARIANT Text(const wchar_t* text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(text);
  return v;
}
VARIANT Short(SHORT n) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I2;
  v.iVal = n;
  return v;
}
VARIANT Long(LONG n) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = n;
  return v;
}

class ComClientTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  static void TearDownTestSuite() { CoUninitialize(); }

  void SetUp() override {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"ZYQSecuritiesATL.ZYQapi", &clsid), S_OK);
    ASSERT_TRUE(IsEqualGUID(clsid, CLSID_ZYQapi));
    ASSERT_EQ(CLSIDFromProgID(L"ZYQSecuritiesATL.ZYQapi.1", &clsid), S_OK);
    ASSERT_TRUE(IsEqualGUID(clsid, CLSID_ZYQapi));
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IZYQapi, api.outVoid()),
              S_OK);
    ASSERT_EQ(api->QueryInterface(IID_IDispatch, disp.outVoid()), S_OK);
  }

  // Late binding: the method by name, its arguments in parameter order (given reversed to
  // Invoke); the result as text ("<hr XXXXXXXX>" when the call fails).
  std::wstring Late(const wchar_t* name, std::vector<VARIANT> args, WORD flags = DISPATCH_METHOD) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    HRESULT hr = disp->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (hr != S_OK) return L"<names " + std::to_wstring(static_cast<unsigned long>(hr)) + L">";
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                      static_cast<UINT>(reversed.size()), 0};
    VARIANT result;
    VariantInit(&result);
    hr = disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result, nullptr, nullptr);
    for (VARIANT& v : reversed) VariantClear(&v);
    if (hr != S_OK) return L"<hr " + std::to_wstring(static_cast<unsigned long>(hr)) + L">";
    std::wstring text;
    if (result.vt == VT_BSTR) {
      text = std::wstring(result.bstrVal, SysStringLen(result.bstrVal));
    } else if (result.vt == VT_I4) {
      text = std::to_wstring(result.lVal);
    } else {
      text = L"<vt " + std::to_wstring(result.vt) + L">";
    }
    VariantClear(&result);
    return text;
  }

  std::wstring Code() {
    LONG code = -1;
    EXPECT_EQ(api->GetErrorCode(&code), S_OK);
    return std::to_wstring(code);
  }
  std::wstring Message() {
    BSTR b = nullptr;
    EXPECT_EQ(api->GetErrorMsg(&b), S_OK);
    return Take(b);
  }

  Ref<IZYQapi> api;
  Ref<IDispatch> disp;
};

TEST_F(ComClientTest, EarlyAndLateBindingGiveTheSameAnswers) {
  BSTR b = nullptr;
  LONG n = 0;

  ASSERT_EQ(api->GetVersion(&b), S_OK);
  const std::wstring version = Take(b);
  EXPECT_EQ(version, L"4.0.1.2");
  EXPECT_EQ(Late(L"GetVersion", {}), version);
  EXPECT_EQ(Late(L"getversion", {}), version) << "names compare without regard to case";

  // SHA-1 of "abc" (flags 18: SHA-1 in upper-case hex), its published value.
  ASSERT_EQ(api->Hash(Arg(L"abc"), 18, &b), S_OK);
  EXPECT_EQ(Take(b), L"A9993E364706816ABA3E25717850C26C9CD0D89D");
  EXPECT_EQ(Late(L"Hash", {Text(L"abc"), Long(18)}), L"A9993E364706816ABA3E25717850C26C9CD0D89D");
  // The system converts the arguments: a number for the text, a text and a short for the long.
  ASSERT_EQ(api->Hash(Arg(L"12"), 18, &b), S_OK);
  const std::wstring twelve = Take(b);
  EXPECT_EQ(Late(L"Hash", {Long(12), Text(L"18")}), twelve);
  EXPECT_EQ(Late(L"Hash", {Text(L"12"), Short(18)}), twelve);
  // Text beyond ASCII reaches the engine as code page 950 text either way.
  ASSERT_EQ(api->Hash(Arg(L"\u4e2d\u6587"), 18, &b), S_OK);
  EXPECT_EQ(Late(L"Hash", {Text(L"\u4e2d\u6587"), Long(18)}), Take(b));

  // A failing operation answers S_OK; its code and message follow, the same both ways.
  ASSERT_EQ(api->SetKeyBits(123, &n), S_OK);
  EXPECT_EQ(std::to_wstring(n), L"5301");
  EXPECT_EQ(Code(), L"5301");
  const std::wstring message = Message();
  EXPECT_EQ(Late(L"SetKeyBits", {Long(123)}), L"5301");
  EXPECT_EQ(Late(L"GetErrorCode", {}), L"5301");
  EXPECT_EQ(Late(L"GetErrorMsg", {}), message);
  EXPECT_NE(message.find(L"(5301)"), std::wstring::npos);

  // The registry helpers, one value written early and read late and the other way round.
  const std::wstring key =
      L"Software\\ZYQSecurities\\ComClient" + std::to_wstring(GetCurrentProcessId()) + L"\\";
  ASSERT_EQ(api->RegWriteHKCUStr(Arg((key + L"early").c_str()), Arg(L"\u53f0\u5317"), &n), S_OK);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(Late(L"RegReadHKCU", {Text((key + L"early").c_str())}), L"\u53f0\u5317");
  EXPECT_EQ(Late(L"RegWriteHKCUInt", {Text((key + L"late").c_str()), Long(77)}), L"0");
  ASSERT_EQ(api->RegReadHKCU(Arg((key + L"late").c_str()), &b), S_OK);
  EXPECT_EQ(Take(b), L"77");
  RegDeleteTreeW(HKEY_CURRENT_USER, key.substr(0, key.size() - 1).c_str());

  ASSERT_EQ(api->EnumProviders(0, 0, &b), S_OK);
  EXPECT_EQ(Late(L"EnumProviders", {Long(0), Long(0)}), Take(b));
  ASSERT_EQ(api->GetWindowsSystemName(&b), S_OK);
  EXPECT_EQ(Late(L"GetWindowsSystemName", {}), Take(b));

  // The call's shape is checked by the system against the type information.
  EXPECT_EQ(Late(L"Hash", {Text(L"abc")}),
            L"<hr " + std::to_wstring(static_cast<unsigned long>(DISP_E_BADPARAMCOUNT)) + L">");
  EXPECT_EQ(Late(L"NoSuchMethod", {}),
            L"<names " + std::to_wstring(static_cast<unsigned long>(DISP_E_UNKNOWNNAME)) + L">");
}

TEST_F(ComClientTest, NamedArgumentsFindTheirParameters) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"Hash"), const_cast<LPOLESTR>(L"dwFlags"),
                      const_cast<LPOLESTR>(L"strPlainText")};
  DISPID ids[3] = {};
  ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, names, 3, LOCALE_USER_DEFAULT, ids), S_OK);
  EXPECT_EQ(ids[0], 40);
  EXPECT_EQ(ids[1], 1);
  EXPECT_EQ(ids[2], 0);
  VARIANT args[2] = {Long(18), Text(L"abc")};
  DISPPARAMS params{args, &ids[1], 2, 2};
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(disp->Invoke(ids[0], IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                         nullptr, nullptr),
            S_OK);
  ASSERT_EQ(result.vt, VT_BSTR);
  EXPECT_EQ(std::wstring(result.bstrVal), L"A9993E364706816ABA3E25717850C26C9CD0D89D");
  VariantClear(&result);
  VariantClear(&args[1]);
}

// The registered type library says what the operation table says. (In the dispatch view that
// GetTypeInfo gives, the [out, retval] parameter is the function's result and has no name.)
TEST_F(ComClientTest, TypeLibraryDescribesTheOperationTable) {
  Ref<ITypeInfo> info;
  ASSERT_EQ(disp->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.out()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, IID_IZYQapi));
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  EXPECT_EQ(attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE),
            TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE);
  info->ReleaseTypeAttr(attr);
  // The interface half of the dual interface: the vtable, after IDispatch's seven methods.
  HREFTYPE ref = 0;
  ASSERT_EQ(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
  Ref<ITypeInfo> vtable;
  ASSERT_EQ(info->GetRefTypeInfo(ref, vtable.out()), S_OK);
  ASSERT_EQ(vtable->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
  const WORD flags = TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
  EXPECT_EQ(attr->wTypeFlags & flags, flags);
  EXPECT_EQ(attr->cFuncs, 47);
  vtable->ReleaseTypeAttr(attr);
  FUNCDESC* func = nullptr;
  ASSERT_EQ(vtable->GetFuncDesc(0, &func), S_OK);
  EXPECT_EQ(func->oVft, static_cast<SHORT>(7 * sizeof(void*))) << "GetVersion follows Invoke";
  vtable->ReleaseFuncDesc(func);

  struct Row {
    DISPID dispid;
    const wchar_t* name;
    std::vector<std::wstring> params;
  };
#define ZYQ_ROW_PARAM_TEXT(name) L## #name
#define ZYQ_ROW_PARAM_INT(name) L## #name
#define ZYQ_ROW_PARAM(arg) ZYQ_ARG_KIND(ZYQ_ROW_PARAM_, arg)
#define ZYQ_ROW(order, dispid, Name, Flat, Result, ...) \
  Row{dispid, L## #Name, {ZYQ_MAP_ARGS(ZYQ_ROW_PARAM, __VA_ARGS__)}},
  const std::vector<Row> rows = {ZYQ_FOR_EACH_OPERATION(ZYQ_ROW)};
  ASSERT_EQ(rows.size(), 47u);
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.dispid);
    LPOLESTR names[] = {const_cast<LPOLESTR>(row.name)};
    DISPID id = 0;
    ASSERT_EQ(info->GetIDsOfNames(names, 1, &id), S_OK);
    EXPECT_EQ(id, row.dispid);
    BSTR got[8] = {};
    UINT count = 0;
    ASSERT_EQ(info->GetNames(row.dispid, got, 8, &count), S_OK);
    std::vector<std::wstring> gotNames;
    for (UINT i = 0; i < count; ++i) gotNames.push_back(Take(got[i]));
    std::vector<std::wstring> want = {row.name};
    want.insert(want.end(), row.params.begin(), row.params.end());
    EXPECT_EQ(gotNames, want);
    BSTR doc = nullptr;
    ASSERT_EQ(info->GetDocumentation(row.dispid, nullptr, &doc, nullptr, nullptr), S_OK);
    EXPECT_EQ(Take(doc), std::wstring(L"method ") + row.name);
  }

  // The library: name, locale, version, help strings read through code page 950.
  Ref<ITypeLib> lib;
  UINT index = 0;
  ASSERT_EQ(info->GetContainingTypeLib(lib.out(), &index), S_OK);
  TLIBATTR* libAttr = nullptr;
  ASSERT_EQ(lib->GetLibAttr(&libAttr), S_OK);
  EXPECT_TRUE(IsEqualGUID(libAttr->guid, LIBID_ZYQSECURITIESATLLib));
  EXPECT_EQ(libAttr->lcid, 0x0409u);
  EXPECT_EQ(libAttr->wMajorVerNum, 1);
  EXPECT_EQ(libAttr->wMinorVerNum, 0);
  lib->ReleaseTLibAttr(libAttr);
  BSTR name = nullptr;
  BSTR doc = nullptr;
  ASSERT_EQ(lib->GetDocumentation(-1, &name, &doc, nullptr, nullptr), S_OK);
  EXPECT_EQ(Take(name), L"ZYQSECURITIESATLLib");
  const std::wstring product = L"ZYQSecuritiesATL \u5b89\u63a7\u5143\u4ef6\u7d44 CAPI \u7248 4.0";
  EXPECT_EQ(Take(doc), product + L" Type Library");

  Ref<ITypeInfo> coclass;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_ZYQapi, coclass.out()), S_OK);
  ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_COCLASS);
  EXPECT_NE(attr->wTypeFlags & TYPEFLAG_FCANCREATE, 0);
  coclass->ReleaseTypeAttr(attr);
  ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr), S_OK);
  EXPECT_EQ(Take(name), L"ZYQapi");
  EXPECT_EQ(Take(doc), product + L" Class");
  INT implFlags = 0;
  ASSERT_EQ(coclass->GetImplTypeFlags(0, &implFlags), S_OK);
  EXPECT_NE(implFlags & IMPLTYPEFLAG_FDEFAULT, 0);
}

TEST_F(ComClientTest, SafetyForUntrustedCallersOnly) {
  Ref<IObjectSafety> safety;
  ASSERT_EQ(api->QueryInterface(IID_IObjectSafety, safety.outVoid()), S_OK);
  DWORD supported = 9;
  DWORD enabled = 9;
  ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(supported, DWORD{INTERFACESAFE_FOR_UNTRUSTED_CALLER});
  EXPECT_EQ(enabled, 0u);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 1, 1), S_OK);
  ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, 1u);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 3, 3), E_FAIL);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IPersist, 1, 1), E_NOINTERFACE);
}

// An outer object that counts its references and answers one interface of its own.
class Outer : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IPersist)) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    return inner->QueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  IUnknown* inner = nullptr;
  ULONG refs = 1;
};

TEST_F(ComClientTest, AggregatedObjectDelegatesToItsOuterObject) {
  Outer outer;
  void* ppv = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(CLSID_ZYQapi, &outer, CLSCTX_INPROC_SERVER, IID_IZYQapi, &ppv),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(ppv, nullptr);
  ASSERT_EQ(CoCreateInstance(CLSID_ZYQapi, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&outer.inner)),
            S_OK);
  EXPECT_EQ(outer.refs, 1u) << "the inner object's own unknown counts its own references";

  IZYQapi* inner = nullptr;
  ASSERT_EQ(outer.inner->QueryInterface(IID_IZYQapi, reinterpret_cast<void**>(&inner)), S_OK);
  EXPECT_EQ(outer.refs, 2u) << "a reference on the inner interface is the outer object's";
  IUnknown* persist = nullptr;
  ASSERT_EQ(inner->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
  EXPECT_EQ(persist, static_cast<IUnknown*>(&outer)) << "the inner interface asks the outer";
  persist->Release();
  BSTR b = nullptr;
  ASSERT_EQ(inner->GetVersion(&b), S_OK);
  EXPECT_EQ(Take(b), L"4.0.1.2");
  inner->Release();
  EXPECT_EQ(outer.refs, 1u);
  EXPECT_EQ(outer.inner->Release(), 0u);
}

}  // namespace
