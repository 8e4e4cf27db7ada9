#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/Registry.h"
#include "platform/Text.h"
#include "tests/support/ReadOnlyRegistry.h"

namespace zyq::platform {
namespace {

const RegistryKey kHkcu = RegistryKey::Root(RegistryHive::kCurrentUser);
const RegistryKey kHkcr = RegistryKey::Root(RegistryHive::kClassesRoot);

class RegistryTest : public ::testing::Test {
 protected:
  Registry& reg = DefaultRegistry();

  RegistryKey Create(const RegistryKey& parent, std::string_view path) {
    RegistryKey key;
    EXPECT_EQ(reg.CreateKey(parent, path, &key), kErrorSuccess) << path;
    return key;
  }
  std::string ReadText(const RegistryKey& key, std::string_view name) {
    RegistryValue value;
    EXPECT_EQ(reg.QueryValue(key, name, kRegistryNoLimit, &value), kErrorSuccess) << name;
    return value.data;
  }
};

TEST_F(RegistryTest, NamesMatchWithoutRegardToCaseAndKeepTheirFirstCase) {
  bool created = false;
  RegistryKey key;
  ASSERT_EQ(reg.CreateKey(kHkcu, "Software\\ZYQSecurities\\MixedCase", &key, &created), 0u);
  EXPECT_TRUE(created);
  RegistryKey again;
  ASSERT_EQ(reg.CreateKey(kHkcu, "SOFTWARE\\zyqsecurities\\MIXEDCASE", &again, &created), 0u);
  EXPECT_FALSE(created);
  EXPECT_EQ(again.id, key.id);
  RegistryKey opened;
  ASSERT_EQ(reg.OpenKey(kHkcu, "software\\ZyqSecurities\\mixedcase\\", &opened), 0u);
  EXPECT_EQ(opened.id, key.id);

  ASSERT_EQ(reg.SetValue(key, "RegisterMode", kRegDword, std::string("\x02\0\0\0", 4)), 0u);
  ASSERT_EQ(reg.SetValue(key, "REGISTERMODE", kRegDword, std::string("\x03\0\0\0", 4)), 0u);
  EXPECT_EQ(ReadText(key, "registermode"), std::string("\x03\0\0\0", 4));

  std::vector<std::string> keys;
  ASSERT_EQ(reg.EnumKeys(RegistryKey{kHkcu.hive, 0}, &keys), 0u);
  EXPECT_NE(std::find(keys.begin(), keys.end(), "Software"), keys.end());
  EXPECT_EQ(std::find(keys.begin(), keys.end(), "SOFTWARE"), keys.end());
  std::vector<RegistryValueEntry> values;
  ASSERT_EQ(reg.EnumValues(key, &values), 0u);
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].name, "RegisterMode");
}

TEST_F(RegistryTest, LettersBeyondAsciiMatchWithoutRegardToCase) {
  // Greek, Cyrillic and full-width Latin letters, which code page 950 can hold.
  const RegistryKey key = Create(kHkcu, Utf8ToAnsi("Software\\αβγ-жз-ａｂ"));
  RegistryKey opened;
  ASSERT_EQ(reg.OpenKey(kHkcu, Utf8ToAnsi("SOFTWARE\\ΑΒΓ-ЖЗ-ＡＢ"), &opened), 0u);
  EXPECT_EQ(opened.id, key.id);
  // Chinese characters have no case; a "\" byte inside one is no separator.
  const std::string xu = Utf8ToAnsi("許功蓋");
  const RegistryKey chinese = Create(kHkcu, "Software\\" + xu);
  std::vector<std::string> names;
  ASSERT_EQ(reg.EnumKeys(Create(kHkcu, "Software"), &names), 0u);
  EXPECT_NE(std::find(names.begin(), names.end(), xu), names.end());
  ASSERT_EQ(reg.SetValue(chinese, xu, kRegSz, xu), 0u);
  EXPECT_EQ(ReadText(chinese, xu), xu);
  // A different letter is a different name.
  EXPECT_EQ(reg.OpenKey(kHkcu, Utf8ToAnsi("Software\\αβδ-жз-ａｂ"), &opened), kErrorFileNotFound);
}

TEST_F(RegistryTest, TypesAndDefaultValues) {
  const RegistryKey key = Create(kHkcu, "Software\\Types");
  const std::string binary("\x00\x01\xFF\x00", 4);
  ASSERT_EQ(reg.SetValue(key, "bin", kRegBinary, binary), 0u);
  ASSERT_EQ(reg.SetValue(key, "text", kRegSz, "abc"), 0u);  // no terminator, as written
  ASSERT_EQ(reg.SetValue(key, "", kRegSz, "default"), 0u);
  ASSERT_EQ(reg.SetValue(key, "empty", kRegSz, ""), 0u);

  uint32_t type = 0, size = 0;
  ASSERT_EQ(reg.QueryValueInfo(key, "bin", &type, &size), 0u);
  EXPECT_EQ(type, kRegBinary);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(ReadText(key, "bin"), binary);
  ASSERT_EQ(reg.QueryValueInfo(key, "text", &type, &size), 0u);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(ReadText(key, ""), "default");
  ASSERT_EQ(reg.QueryValueInfo(key, "empty", &type, &size), 0u);
  EXPECT_EQ(size, 0u);

  // Text in code page 950 is kept as characters: its ANSI size is what callers see.
  const std::string chinese = Utf8ToAnsi("證券");
  ASSERT_EQ(reg.SetValue(key, "zh", kRegSz, chinese), 0u);
  ASSERT_EQ(reg.QueryValueInfo(key, "zh", &type, &size), 0u);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(ReadText(key, "zh"), chinese);

  ASSERT_EQ(reg.QueryValueInfo(key, "missing", &type, &size), kErrorFileNotFound);
  EXPECT_EQ(reg.DeleteValue(key, "missing"), kErrorFileNotFound);
  EXPECT_EQ(reg.DeleteValue(key, "TEXT"), 0u);
  EXPECT_EQ(reg.QueryValueInfo(key, "text", &type, &size), kErrorFileNotFound);
}

TEST_F(RegistryTest, CallerBufferLimitReportsMoreData) {
  const RegistryKey key = Create(kHkcu, "Software\\Limits");
  ASSERT_EQ(reg.SetValue(key, "s255", kRegSz, std::string(255, 'x')), 0u);
  ASSERT_EQ(reg.SetValue(key, "s256", kRegSz, std::string(256, 'y')), 0u);
  RegistryValue value;
  uint32_t required = 0;
  EXPECT_EQ(reg.QueryValue(key, "s255", 255, &value, &required), 0u);
  EXPECT_EQ(value.data, std::string(255, 'x'));
  EXPECT_EQ(required, 255u);
  EXPECT_EQ(reg.QueryValue(key, "s256", 255, &value, &required), kErrorMoreData);
  EXPECT_EQ(value.type, kRegSz);
  EXPECT_TRUE(value.data.empty());
  EXPECT_EQ(required, 256u);
  // The limit counts ANSI bytes: 128 Chinese characters are 256 bytes.
  std::string wide;
  for (int i = 0; i < 128; ++i) wide += "證";
  ASSERT_EQ(reg.SetValue(key, "zh", kRegSz, Utf8ToAnsi(wide)), 0u);
  EXPECT_EQ(reg.QueryValue(key, "zh", 255, &value, &required), kErrorMoreData);
  EXPECT_EQ(required, 256u);
}

TEST_F(RegistryTest, NamesOutsideTheLimitsAreRefused) {
  RegistryKey key;
  EXPECT_EQ(reg.CreateKey(kHkcu, std::string(255, 'k'), &key), 0u);
  EXPECT_EQ(reg.CreateKey(kHkcu, std::string(256, 'k'), &key), kErrorInvalidParameter);
  EXPECT_EQ(reg.CreateKey(kHkcu, "\\Software", &key), kErrorBadPathname);
  EXPECT_EQ(reg.CreateKey(kHkcu, "Software\\\\x", &key), kErrorBadPathname);
  EXPECT_EQ(reg.OpenKey(kHkcu, std::string(10000, '\\'), &key), kErrorBadPathname);
  std::string deep;
  for (size_t i = 0; i < kRegistryMaxDepth; ++i) deep += "d\\";
  EXPECT_EQ(reg.CreateKey(kHkcu, deep, &key), 0u);
  EXPECT_EQ(reg.CreateKey(kHkcu, deep + "d", &key), kErrorInvalidParameter);
  const RegistryKey parent = Create(kHkcu, "Software\\Names");
  EXPECT_EQ(reg.SetValue(parent, std::string(16383, 'v'), kRegSz, "ok"), 0u);
  EXPECT_EQ(reg.SetValue(parent, std::string(16384, 'v'), kRegSz, "no"), kErrorInvalidParameter);
  // Nothing was created by the refused calls.
  std::vector<std::string> names;
  ASSERT_EQ(reg.EnumKeys(parent, &names), 0u);
  EXPECT_TRUE(names.empty());
}

TEST_F(RegistryTest, DeleteKeyTreeRemovesEverythingBelowInOneStep) {
  const RegistryKey clsid = Create(kHkcr, "CLSID");
  const RegistryKey server = Create(kHkcr, "CLSID\\{1234}\\InprocServer32");
  ASSERT_EQ(reg.SetValue(server, "", kRegSz, "/lib/x.so"), 0u);
  ASSERT_EQ(reg.SetValue(server, "ThreadingModel", kRegSz, "Apartment"), 0u);
  const RegistryKey progId = Create(kHkcr, "CLSID\\{1234}\\ProgID");
  const RegistryKey sibling = Create(kHkcr, "CLSID\\{5678}");

  EXPECT_EQ(reg.DeleteKeyTree(kHkcr, "clsid\\{1234}"), 0u);
  RegistryKey opened;
  EXPECT_EQ(reg.OpenKey(kHkcr, "CLSID\\{1234}", &opened), kErrorFileNotFound);
  EXPECT_EQ(reg.OpenKey(kHkcr, "CLSID\\{5678}", &opened), 0u);
  std::vector<std::string> names;
  ASSERT_EQ(reg.EnumKeys(clsid, &names), 0u);
  EXPECT_EQ(names, std::vector<std::string>{"{5678}"});
  // Keys opened before the deletion are gone for good, even when the name is made again.
  RegistryValue value;
  EXPECT_EQ(reg.QueryValue(server, "", kRegistryNoLimit, &value), kErrorKeyDeleted);
  EXPECT_EQ(reg.SetValue(progId, "", kRegSz, "x"), kErrorKeyDeleted);
  Create(kHkcr, "CLSID\\{1234}\\InprocServer32");
  EXPECT_EQ(reg.QueryValue(server, "", kRegistryNoLimit, &value), kErrorKeyDeleted);
  RegistryKey created;
  EXPECT_EQ(reg.CreateKey(progId, "Sub", &created), kErrorKeyDeleted);

  EXPECT_EQ(reg.DeleteKeyTree(kHkcr, "CLSID\\{9999}"), kErrorFileNotFound);
  EXPECT_EQ(reg.DeleteKeyTree(kHkcr, ""), kErrorAccessDenied);
  (void)sibling;
}

TEST_F(RegistryTest, EnumerationOrderIsStable) {
  const RegistryKey key = Create(kHkcu, "Software\\Order");
  for (const char* name : {"beta", "Alpha", "gamma", "DELTA"}) Create(key, name);
  std::vector<std::string> names;
  ASSERT_EQ(reg.EnumKeys(key, &names), 0u);
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "DELTA", "gamma"}));

  for (const char* name : {"z", "a", "m"}) ASSERT_EQ(reg.SetValue(key, name, kRegSz, name), 0u);
  ASSERT_EQ(reg.SetValue(key, "A", kRegDword, std::string(4, '\0')), 0u);  // replaces "a"
  std::vector<RegistryValueEntry> values;
  ASSERT_EQ(reg.EnumValues(key, &values), 0u);
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0].name, "z");
  EXPECT_EQ(values[1].name, "a");
  EXPECT_EQ(values[1].value.type, kRegDword);
  EXPECT_EQ(values[2].name, "m");
}

TEST_F(RegistryTest, HivesAreSeparate) {
  const RegistryKey user = Create(kHkcu, "Shared");
  const RegistryKey classes = Create(kHkcr, "Shared");
  EXPECT_NE(user.id, classes.id);
  ASSERT_EQ(reg.SetValue(user, "v", kRegSz, "user"), 0u);
  RegistryValue value;
  EXPECT_EQ(reg.QueryValue(classes, "v", kRegistryNoLimit, &value), kErrorFileNotFound);
  // A key of one hive does not open below another hive's root.
  RegistryKey wrong{RegistryHive::kClassesRoot, user.id};
  EXPECT_EQ(reg.QueryValue(wrong, "v", kRegistryNoLimit, &value), kErrorKeyDeleted);
  // Values may sit on a hive's root key.
  ASSERT_EQ(reg.SetValue(kHkcu, "rootValue", kRegSz, "r"), 0u);
  EXPECT_EQ(ReadText(kHkcu, "ROOTVALUE"), "r");
}

TEST_F(RegistryTest, ATestRegistryReplacesTheCurrentOne) {
  test::ReadOnlyRegistry readOnly(DefaultRegistry());
  SetRegistryForTesting(&readOnly);
  RegistryKey key;
  EXPECT_EQ(CurrentRegistry().CreateKey(kHkcu, "Software\\X", &key), kErrorAccessDenied);
  EXPECT_EQ(CurrentRegistry().OpenKey(kHkcu, "", &key), 0u);  // reads still pass through
  SetRegistryForTesting(nullptr);
  EXPECT_EQ(&CurrentRegistry(), &DefaultRegistry());
  EXPECT_EQ(CurrentRegistry().CreateKey(kHkcu, "Software\\X", &key), 0u);
}

}  // namespace
}  // namespace zyq::platform
