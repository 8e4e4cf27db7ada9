// DllRegisterServer and DllUnregisterServer of the built library, checked by reading the
// registry of the test's own state folder (the same one the library writes).
#include <gtest/gtest.h>

#include <stdlib.h>

#include <memory>
#include <string>

#include "platform/Registry.h"
#include "platform/Text.h"
#include "tests/com/ComClient.h"

namespace zyq::test {
namespace {

using platform::Registry;
using platform::RegistryHive;
using platform::RegistryKey;

constexpr char kClsid[] = "{F470A651-408B-4BFC-96A8-FEAFAC8A4687}";
constexpr char kLibid[] = "{816A14C1-4C73-4444-BF44-238C14033EBD}";
constexpr char kIid[] = "{BF37F13D-A4F4-40FA-9480-1E99761C9773}";

class ComRegistrationTest : public testing::Test {
 protected:
  Registry& registry() { return platform::DefaultRegistry(); }
  static RegistryKey Root() { return RegistryKey::Root(RegistryHive::kClassesRoot); }

  bool Exists(const std::string& path) {
    RegistryKey key;
    return registry().OpenKey(Root(), path, &key) == platform::kErrorSuccess;
  }
  // The text value (ANSI bytes) or "<missing>".
  std::string Text(const std::string& path, std::string_view name = "") {
    RegistryKey key;
    if (registry().OpenKey(Root(), path, &key) != platform::kErrorSuccess) return "<missing>";
    platform::RegistryValue value;
    if (registry().QueryValue(key, name, platform::kRegistryNoLimit, &value) !=
        platform::kErrorSuccess) {
      return "<missing>";
    }
    EXPECT_EQ(value.type, platform::kRegSz) << path << " " << name;
    return value.data;
  }
  void Write(const std::string& path, std::string_view name, std::string_view data) {
    RegistryKey key;
    ASSERT_EQ(registry().CreateKey(Root(), path, &key), platform::kErrorSuccess);
    ASSERT_EQ(registry().SetValue(key, name, platform::kRegSz, data), platform::kErrorSuccess);
  }
  static std::string LibraryPath() {
    std::unique_ptr<char, decltype(&free)> real(realpath(ComClient::Path().c_str(), nullptr),
                                                &free);
    return real ? real.get() : "";
  }
  static std::string Ansi(std::u16string_view text) { return platform::WideToAnsi(text); }

  ComClient lib;
};

TEST_F(ComRegistrationTest, RegistrationWritesTheClassTheProgIdsAndTheTypeLibrary) {
  ASSERT_EQ(lib.registerServer(), S_OK);
  const std::string description = Ansi(u"ZYQSecuritiesATL 安控元件組 CAPI 版 4.0 Class");
  const std::string classKey = std::string("CLSID\\") + kClsid;

  EXPECT_EQ(Text("ZYQSecuritiesATL.ZYQapi.1"), description);
  EXPECT_EQ(Text("ZYQSecuritiesATL.ZYQapi.1\\CLSID"), kClsid);
  EXPECT_EQ(Text("ZYQSecuritiesATL.ZYQapi"), description);
  EXPECT_EQ(Text("ZYQSecuritiesATL.ZYQapi\\CLSID"), kClsid);
  EXPECT_EQ(Text("ZYQSecuritiesATL.ZYQapi\\CurVer"), "ZYQSecuritiesATL.ZYQapi.1");
  EXPECT_EQ(Text(classKey), description);
  EXPECT_EQ(Text(classKey + "\\ProgID"), "ZYQSecuritiesATL.ZYQapi.1");
  EXPECT_EQ(Text(classKey + "\\VersionIndependentProgID"), "ZYQSecuritiesATL.ZYQapi");
  EXPECT_TRUE(Exists(classKey + "\\Programmable"));
  EXPECT_EQ(Text(classKey + "\\InprocServer32"), LibraryPath());
  EXPECT_EQ(Text(classKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(Text(classKey + "\\TypeLib"), kLibid);
  // Key names compare without regard to case, as on Windows.
  EXPECT_EQ(Text("zyqsecuritiesatl.zyqapi\\curver"), "ZYQSecuritiesATL.ZYQapi.1");

  const std::string typeLib = std::string("TypeLib\\") + kLibid + "\\1.0";
  EXPECT_EQ(Text(typeLib), Ansi(u"ZYQSecuritiesATL 安控元件組 CAPI 版 4.0 Type Library"));
  EXPECT_EQ(Text(typeLib + "\\409\\win64"), LibraryPath()) << "the library's locale, 0x0409";
  EXPECT_FALSE(Exists(typeLib + "\\0"));
  EXPECT_EQ(Text(typeLib + "\\FLAGS"), "0");
  EXPECT_EQ(Text(typeLib + "\\HELPDIR"), LibraryPath().substr(0, LibraryPath().rfind('/')));
  const std::string interfaceKey = std::string("Interface\\") + kIid;
  EXPECT_EQ(Text(interfaceKey), "IZYQapi");
  EXPECT_EQ(Text(interfaceKey + "\\TypeLib"), kLibid);
  EXPECT_EQ(Text(interfaceKey + "\\TypeLib", "Version"), "1.0");
  EXPECT_EQ(Text(interfaceKey + "\\ProxyStubClsid32"), "{00020424-0000-0000-C000-000000000046}");

  // Registering again gives the same entries.
  ASSERT_EQ(lib.registerServer(), S_OK);
  EXPECT_EQ(Text(classKey + "\\InprocServer32"), LibraryPath());
}

TEST_F(ComRegistrationTest, TheClassKeyIsRewrittenWholeTheProgIdKeysAreNot) {
  const std::string classKey = std::string("CLSID\\") + kClsid;
  Write(classKey + "\\Stale", "", "left by an older version");
  Write(classKey + "\\Programmable\\Stale", "", "left too");
  Write("ZYQSecuritiesATL.ZYQapi.1", "Note", "kept");
  ASSERT_EQ(lib.registerServer(), S_OK);
  EXPECT_FALSE(Exists(classKey + "\\Stale"));
  EXPECT_FALSE(Exists(classKey + "\\Programmable\\Stale"));
  EXPECT_EQ(Text("ZYQSecuritiesATL.ZYQapi.1", "Note"), "kept");
}

TEST_F(ComRegistrationTest, UnregistrationRemovesTheEntriesButNotTheClsidRoot) {
  Write("CLSID\\{00000000-1111-2222-3333-444444444444}", "", "another class");
  const std::string otherVersion = std::string("TypeLib\\") + kLibid + "\\2.0";
  ASSERT_EQ(lib.registerServer(), S_OK);
  ASSERT_EQ(lib.unregisterServer(), S_OK);
  EXPECT_FALSE(Exists("ZYQSecuritiesATL.ZYQapi.1"));
  EXPECT_FALSE(Exists("ZYQSecuritiesATL.ZYQapi"));
  EXPECT_FALSE(Exists(std::string("CLSID\\") + kClsid));
  EXPECT_TRUE(Exists("CLSID"));
  EXPECT_EQ(Text("CLSID\\{00000000-1111-2222-3333-444444444444}"), "another class");
  EXPECT_FALSE(Exists(std::string("TypeLib\\") + kLibid));
  EXPECT_FALSE(Exists(std::string("Interface\\") + kIid));
  // Unregistering what is not registered is no error.
  EXPECT_EQ(lib.unregisterServer(), S_OK);

  // Another version of the type library keeps the LIBID key.
  Write(otherVersion, "", "a later version");
  ASSERT_EQ(lib.registerServer(), S_OK);
  ASSERT_EQ(lib.unregisterServer(), S_OK);
  EXPECT_FALSE(Exists(std::string("TypeLib\\") + kLibid + "\\1.0"));
  EXPECT_EQ(Text(otherVersion), "a later version");
}

}  // namespace
}  // namespace zyq::test
