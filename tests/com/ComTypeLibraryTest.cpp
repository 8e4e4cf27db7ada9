// IDispatch before and after the type library is registered, in a process of its own: once the
// type information is loaded it stays loaded, so this must be the process's first use of it.
#include <gtest/gtest.h>

#include "tests/com/ComClient.h"

namespace zyq::test {
namespace {

TEST(ComTypeLibraryTest, LateBindingNeedsTheRegisteredTypeLibraryAndKeepsIt) {
  ComClient lib;
  ComPtr<IZYQapi> api = lib.Create();
  LPOLESTR names[] = {const_cast<LPOLESTR>(u"GetVersion")};
  DISPID id = 0;
  DISPPARAMS none{};
  VARIANT result{};
  ComPtr<ITypeInfo> info;
  UINT count = 0;

  EXPECT_EQ(api->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(api->GetIDsOfNames(IID_NULL, names, 1, 0, &id), TYPE_E_LIBNOTREGISTERED);
  EXPECT_EQ(api->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            TYPE_E_LIBNOTREGISTERED);
  EXPECT_EQ(result.vt, VT_EMPTY);
  EXPECT_EQ(api->GetTypeInfo(0, 0, info.Out()), TYPE_E_LIBNOTREGISTERED);
  EXPECT_FALSE(info);
  // The early-bound methods do not need it.
  BSTR version = nullptr;
  EXPECT_EQ(api->GetVersion(&version), S_OK);
  EXPECT_EQ(lib.Take(version), u"4.0.1.2");

  ASSERT_EQ(lib.registerServer(), S_OK);
  EXPECT_EQ(api->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 1);

  // Loaded once, kept until the library goes: unregistering does not take it away.
  ASSERT_EQ(lib.unregisterServer(), S_OK);
  EXPECT_EQ(api->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr), S_OK);
  ASSERT_EQ(result.vt, VT_BSTR);
  EXPECT_EQ(lib.Take(result.bstrVal), u"4.0.1.2");
  EXPECT_EQ(api->GetTypeInfo(0, 0, info.Out()), S_OK);
}

}  // namespace
}  // namespace zyq::test
