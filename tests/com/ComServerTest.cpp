// The COM server driven the way a host drives it: the library loaded with dlopen, the class
// object from DllGetClassObject, objects through their interfaces only.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/com/ComCView.h"
#include "tests/com/ComClient.h"

namespace zyq::test {
namespace {

constexpr GUID kSomeOtherGuid = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};

// An aggregating outer object as a host writes one: its own IUnknown, and the inner object's
// interfaces handed out through the inner object's non-delegating unknown. It counts its
// references and does not destroy itself.
class CountingOuter : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualGUID(&riid, &IID_IUnknown)) {
      *ppv = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    if (inner != nullptr) return inner->QueryInterface(riid, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }

  ULONG refs = 1;
  IUnknown* inner = nullptr;
};

// The inner object's count, read through its non-delegating unknown.
ULONG CountOf(IUnknown* inner) {
  inner->AddRef();
  return inner->Release();
}

class ComServerTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(lib.canUnloadNow(), S_OK) << "an earlier test left a lock"; }
  void TearDown() override { EXPECT_EQ(lib.canUnloadNow(), S_OK) << "a reference was left"; }

  LONG ErrorCode(IZYQapi* api) {
    LONG code = -12345;
    EXPECT_EQ(api->GetErrorCode(&code), S_OK);
    return code;
  }

  ComClient lib;
};

TEST_F(ComServerTest, ClassObjectIsAvailableOnlyForTheClass) {
  EXPECT_EQ(lib.getClassObject(CLSID_ZYQapi, IID_IClassFactory, nullptr), E_POINTER);

  void* out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(lib.getClassObject(kSomeOtherGuid, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(lib.getClassObject(CLSID_ZYQapi, IID_IDispatch, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);

  // One class object, made once, for IClassFactory and IUnknown alike.
  ComPtr<IClassFactory> first, second;
  ComPtr<IUnknown> unknown;
  ASSERT_EQ(lib.getClassObject(CLSID_ZYQapi, IID_IClassFactory, first.OutVoid()), S_OK);
  ASSERT_EQ(lib.getClassObject(CLSID_ZYQapi, IID_IClassFactory, second.OutVoid()), S_OK);
  ASSERT_EQ(lib.getClassObject(CLSID_ZYQapi, IID_IUnknown, unknown.OutVoid()), S_OK);
  EXPECT_EQ(first.get(), second.get());
  EXPECT_EQ(static_cast<void*>(first.get()), static_cast<void*>(unknown.get()));
}

TEST_F(ComServerTest, ObjectAnswersItsInterfacesWithOneIdentity) {
  ComPtr<IClassFactory> factory = lib.Factory();
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IZYQapi, nullptr), E_POINTER);
  void* out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);

  ComPtr<IUnknown> unknown;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, unknown.OutVoid()), S_OK);
  ComPtr<IZYQapi> api;
  ComPtr<IDispatch> dispatch;
  ComPtr<IObjectSafety> safety;
  ASSERT_EQ(unknown.As(IID_IZYQapi, &api), S_OK);
  ASSERT_EQ(unknown.As(IID_IDispatch, &dispatch), S_OK);
  ASSERT_EQ(unknown.As(IID_IObjectSafety, &safety), S_OK);
  EXPECT_EQ(static_cast<void*>(api.get()), static_cast<void*>(dispatch.get()));

  ComPtr<IUnknown> identity;
  for (IUnknown* face :
       {static_cast<IUnknown*>(api.get()), static_cast<IUnknown*>(safety.get()), unknown.get()}) {
    ASSERT_EQ(face->QueryInterface(IID_IUnknown, identity.OutVoid()), S_OK);
    EXPECT_EQ(identity.get(), unknown.get());
  }
  ComPtr<IUnknown> none;
  EXPECT_EQ(api.As(IID_IClassFactory, &none), E_NOINTERFACE);
  EXPECT_EQ(none.get(), nullptr);
  EXPECT_EQ(safety.As(kSomeOtherGuid, &none), E_NOINTERFACE);
  EXPECT_EQ(api->QueryInterface(IID_IZYQapi, nullptr), E_POINTER);
}

TEST_F(ComServerTest, ReferenceCountsEndWithTheObject) {
  IZYQapi* api = nullptr;
  ASSERT_EQ(lib.Factory()->CreateInstance(nullptr, IID_IZYQapi, reinterpret_cast<void**>(&api)),
            S_OK);
  EXPECT_EQ(api->AddRef(), 2u);
  EXPECT_EQ(api->Release(), 1u);
  EXPECT_EQ(lib.canUnloadNow(), S_FALSE);
  EXPECT_EQ(api->Release(), 0u);
  EXPECT_EQ(lib.canUnloadNow(), S_OK);
}

TEST_F(ComServerTest, AggregationRules) {
  CountingOuter outer;
  for (const IID* iid : {&IID_IZYQapi, &IID_IDispatch, &IID_IObjectSafety}) {
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(lib.Factory()->CreateInstance(&outer, *iid, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
  }
  EXPECT_EQ(lib.canUnloadNow(), S_OK) << "a refused aggregation made an object";

  ASSERT_EQ(
      lib.Factory()->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)),
      S_OK);
  EXPECT_NE(outer.inner, static_cast<IUnknown*>(&outer));
  EXPECT_EQ(outer.refs, 1u) << "making the inner object holds no reference on the outer one";
  EXPECT_EQ(CountOf(outer.inner), 1u);
  EXPECT_EQ(lib.canUnloadNow(), S_FALSE);

  // The inner object's interfaces, as the outer object hands them out: each reference is the
  // outer object's.
  IZYQapi* api = nullptr;
  IDispatch* dispatch = nullptr;
  IObjectSafety* safety = nullptr;
  ASSERT_EQ(outer.QueryInterface(IID_IZYQapi, reinterpret_cast<void**>(&api)), S_OK);
  ASSERT_EQ(outer.QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
  ASSERT_EQ(outer.QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(&safety)), S_OK);
  EXPECT_EQ(outer.refs, 4u);
  EXPECT_EQ(CountOf(outer.inner), 1u);

  // Every interface's IUnknown methods are the outer object's, including its identity.
  for (IUnknown* face : {static_cast<IUnknown*>(api), static_cast<IUnknown*>(dispatch),
                         static_cast<IUnknown*>(safety)}) {
    EXPECT_EQ(face->AddRef(), 5u);
    EXPECT_EQ(face->Release(), 4u);
    IUnknown* identity = nullptr;
    ASSERT_EQ(face->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    for (const IID* iid : {&IID_IZYQapi, &IID_IDispatch, &IID_IObjectSafety}) {
      IUnknown* other = nullptr;
      ASSERT_EQ(face->QueryInterface(*iid, reinterpret_cast<void**>(&other)), S_OK);
      other->Release();
    }
    void* none = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(face->QueryInterface(kSomeOtherGuid, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
  }

  // The non-delegating unknown counts itself for IUnknown and the outer object for the rest.
  IUnknown* ownUnknown = nullptr;
  ASSERT_EQ(outer.inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ownUnknown)), S_OK);
  EXPECT_EQ(ownUnknown, outer.inner);
  EXPECT_EQ(CountOf(outer.inner), 2u);
  ownUnknown->Release();
  IObjectSafety* viaInner = nullptr;
  ASSERT_EQ(outer.inner->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(&viaInner)),
            S_OK);
  EXPECT_EQ(viaInner, safety);
  EXPECT_EQ(outer.refs, 5u);
  EXPECT_EQ(CountOf(outer.inner), 1u);
  viaInner->Release();

  // Calls through each interface, the safety lookups among them, move no count.
  for (int i = 0; i < 3; ++i) {
    DWORD supported = 0, enabled = 0;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IZYQapi, 1, 1), S_OK);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(kSomeOtherGuid, &supported, &enabled),
              E_NOINTERFACE);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(kSomeOtherGuid, 1, 1), E_NOINTERFACE);
  }
  BSTR version = nullptr;
  EXPECT_EQ(api->GetVersion(&version), S_OK);
  EXPECT_EQ(lib.Take(version), u"4.0.1.2");
  UINT typeInfos = 0;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&typeInfos), S_OK);
  ASSERT_EQ(lib.registerServer(), S_OK);
  DISPPARAMS none{};
  VARIANT result{};
  ASSERT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            S_OK);
  ASSERT_EQ(result.vt, VT_BSTR);
  EXPECT_EQ(lib.Take(result.bstrVal), u"4.0.1.2");
  ITypeInfo* info = nullptr;
  ASSERT_EQ(dispatch->GetTypeInfo(0, 0, &info), S_OK);
  info->Release();
  EXPECT_EQ(outer.refs, 4u);
  EXPECT_EQ(CountOf(outer.inner), 1u);

  api->Release();
  dispatch->Release();
  safety->Release();
  EXPECT_EQ(outer.refs, 1u);
  EXPECT_EQ(CountOf(outer.inner), 1u);
  EXPECT_EQ(lib.canUnloadNow(), S_FALSE) << "the inner object lives";
  EXPECT_EQ(outer.inner->Release(), 0u);
  EXPECT_EQ(lib.canUnloadNow(), S_OK);
  EXPECT_EQ(outer.refs, 1u);
}

TEST_F(ComServerTest, ObjectSafetyForUntrustedCallersOnly) {
  ComPtr<IZYQapi> api = lib.Create();
  ComPtr<IObjectSafety> safety;
  ASSERT_EQ(api.As(IID_IObjectSafety, &safety), S_OK);
  DWORD supported = 99, enabled = 99;
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(supported, DWORD{INTERFACESAFE_FOR_UNTRUSTED_CALLER});
  EXPECT_EQ(enabled, 0u);

  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 1, 1), S_OK);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, 1u);
  // The option belongs to the object, whatever interface names it.
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IZYQapi, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, 1u);

  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 3, 3), E_FAIL);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_DATA,
                                              INTERFACESAFE_FOR_UNTRUSTED_DATA),
            E_FAIL);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, 1u) << "a refused change changed the options";

  // Bits outside the mask keep their value; bits in it take the enabled value.
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 0, 0), S_OK);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, 1u);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 1, 0), S_OK);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, 0u);

  EXPECT_EQ(safety->SetInterfaceSafetyOptions(kSomeOtherGuid, 1, 1), E_NOINTERFACE);
  supported = enabled = 99;
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(kSomeOtherGuid, &supported, &enabled), E_NOINTERFACE);
  EXPECT_EQ(supported, 0u);
  EXPECT_EQ(enabled, 0u);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &enabled), E_POINTER);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, nullptr), E_POINTER);
}

TEST_F(ComServerTest, ObjectsKeepTheirOwnEngines) {
  ComPtr<IZYQapi> first = lib.Create();
  ComPtr<IZYQapi> second = lib.Create();
  BSTR text = nullptr;
  ASSERT_EQ(first->GetErrorMsg(&text), S_OK);
  EXPECT_EQ(lib.Take(text), u"成功(0)");
  ASSERT_EQ(first->GetCapiErrorMsg(&text), S_OK);
  EXPECT_EQ(lib.Take(text), u"成功(0)");
  LONG value = 7;
  ASSERT_EQ(first->GetRegisterUserMode(&value), S_OK);
  EXPECT_EQ(value, -1);
  ASSERT_EQ(first->PresetPasswdLengthRange(20, 5, &value), S_OK);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(first->GetVersion(nullptr), E_POINTER);
  EXPECT_EQ(first->GetErrorCode(nullptr), E_POINTER);

#ifdef DISPID_IZYQapi_Hash
  // A failing operation still answers S_OK; its code is read afterwards, on that object only.
  BSTR empty = lib.sysAllocString(u"");
  BSTR digest = reinterpret_cast<BSTR>(0x1);
  EXPECT_EQ(first->Hash(empty, 0, &digest), S_OK);
  EXPECT_EQ(lib.Take(digest).value_or(u""), u"");
  lib.sysFreeString(empty);
  EXPECT_EQ(ErrorCode(first.get()), 5005);
  EXPECT_EQ(ErrorCode(second.get()), 0);
  auto flatErrorCode = lib.Symbol<int32_t (*)()>("GetErrorCode");
  EXPECT_EQ(flatErrorCode(), 0);
#else
  EXPECT_EQ(ErrorCode(first.get()), 0);
  EXPECT_EQ(ErrorCode(second.get()), 0);
#endif
}

#ifdef DISPID_IZYQapi_RegisterPfx
// The number after "key": in a JSON line, or -999 when there is none.
int JsonNumber(const std::string& line, const std::string& key) {
  size_t at = line.find("\"" + key + "\"");
  if (at == std::string::npos) return -999;
  at = line.find_first_not_of(" \t:", at + key.size() + 2);
  if (at == std::string::npos) return -999;
  return std::atoi(line.c_str() + at);
}

// The settled password bounds of the last dialog in the dialog log ("min" and "max").
std::pair<int, int> LastDialogBounds(const std::string& log) {
  std::ifstream in(log);
  std::string line, last;
  while (std::getline(in, line)) {
    if (!line.empty()) last = line;
  }
  return {JsonNumber(last, "min"), JsonNumber(last, "max")};
}

// Each object asks for passwords of 1 to 16 characters until told otherwise; the flat exports'
// engine starts at 0 and 0, which the dialogs settle to 4 and 20.
TEST_F(ComServerTest, ObjectsHaveTheirOwnPasswordBounds) {
  const std::string root = testing::TempDir() + "/zyq-com-bounds";
  std::filesystem::create_directories(root);
  const std::string script = root + "/answers", log = root + "/dialogs.jsonl";
  std::ofstream(script).close();  // no answer: every dialog is cancelled
  setenv("ZYQSEC_UI", ("script:" + script).c_str(), 1);
  setenv("ZYQSEC_UI_LOG", log.c_str(), 1);

  ComPtr<IZYQapi> first = lib.Create();
  ComPtr<IZYQapi> second = lib.Create();
  BSTR empty = lib.sysAllocString(u"");
  LONG result = 0;
  ASSERT_EQ(first->RegisterPfx(empty, empty, empty, 1, 0, 0, &result), S_OK);
  EXPECT_EQ(result, 5070);
  EXPECT_EQ(LastDialogBounds(log), std::make_pair(1, 16));
  ASSERT_EQ(first->PresetPasswdLengthRange(6, 12, &result), S_OK);
  ASSERT_EQ(first->RegisterPfx(empty, empty, empty, 1, 0, 0, &result), S_OK);
  EXPECT_EQ(LastDialogBounds(log), std::make_pair(6, 12));
  ASSERT_EQ(second->RegisterPfx(empty, empty, empty, 1, 0, 0, &result), S_OK);
  EXPECT_EQ(LastDialogBounds(log), std::make_pair(1, 16));
  auto flatRegisterPfx = lib.Symbol<int32_t (*)(const char16_t*, const char16_t*, const char16_t*,
                                                int32_t, int32_t, int32_t)>("RegisterPfx");
  EXPECT_EQ(flatRegisterPfx(u"", u"", u"", 1, 0, 0), 5070);
  EXPECT_EQ(LastDialogBounds(log), std::make_pair(4, 20));
  lib.sysFreeString(empty);
  setenv("ZYQSEC_UI", "none", 1);
  unsetenv("ZYQSEC_UI_LOG");
}
#endif

TEST_F(ComServerTest, TheCViewReachesTheSameSlots) {
  ComPtr<IClassFactory> factory = lib.Factory();
  const char* failure = zyq_c_view_check(factory.get(), lib.sysFreeString);
  EXPECT_EQ(failure, nullptr) << failure;
}

TEST_F(ComServerTest, CanUnloadNowFollowsObjectsLocksAndFactoryReferences) {
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(lib.getClassObject(CLSID_ZYQapi, IID_IClassFactory, factory.OutVoid()), S_OK);
  EXPECT_EQ(lib.canUnloadNow(), S_FALSE) << "the class factory is referenced";
  ComPtr<IZYQapi> api;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IZYQapi, api.OutVoid()), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory.Reset();
  api.Reset();
  EXPECT_EQ(lib.canUnloadNow(), S_FALSE) << "two locks are held";

  ASSERT_EQ(lib.getClassObject(CLSID_ZYQapi, IID_IClassFactory, factory.OutVoid()), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), E_UNEXPECTED) << "an unlock without a lock";
  factory.Reset();
  EXPECT_EQ(lib.canUnloadNow(), S_OK);
  api = lib.Create();
  EXPECT_EQ(lib.canUnloadNow(), S_FALSE) << "an object lives";
}

// Objects made and released, and the server locked and unlocked, from several threads at once:
// the server's bookkeeping ends at zero.
TEST_F(ComServerTest, BookkeepingHoldsAcrossThreads) {
  ComPtr<IClassFactory> factory = lib.Factory();
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 10; ++i) {
        IZYQapi* api = nullptr;
        if (factory->CreateInstance(nullptr, IID_IZYQapi, reinterpret_cast<void**>(&api)) != S_OK) {
          ++failures;
          continue;
        }
        IClassFactory* more = nullptr;
        if (lib.getClassObject(CLSID_ZYQapi, IID_IClassFactory, reinterpret_cast<void**>(&more)) !=
                S_OK ||
            more->LockServer(TRUE) != S_OK) {
          ++failures;
        }
        LONG code = -1;
        if (api->GetErrorCode(&code) != S_OK || code != 0) ++failures;
        if (more != nullptr) {
          if (more->LockServer(FALSE) != S_OK) ++failures;
          more->Release();
        }
        api->Release();
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(lib.canUnloadNow(), S_FALSE) << "this thread still holds the class factory";
  factory.Reset();
  EXPECT_EQ(lib.canUnloadNow(), S_OK);
}

}  // namespace
}  // namespace zyq::test
