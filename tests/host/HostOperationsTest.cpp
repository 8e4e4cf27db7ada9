#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/SecurityEngine.h"
#include "platform/HostInfo.h"
#include "platform/Registry.h"
#include "platform/Text.h"

namespace zyq {
namespace {

using platform::Bstr;

Bstr W(const char16_t* text) {
  return Bstr::FromWide(text);
}

std::u16string Text(const Bstr& b) {
  return std::u16string(b.View());
}

class HostOperationsTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetRegistryForTesting(nullptr); }
  SecurityEngine engine;
};

TEST_F(HostOperationsTest, RegistryRoundTrips) {
  const char16_t* mode = u"Software\\ZYQSecurities\\RegisterMode";
  EXPECT_EQ(engine.RegWriteHKCUInt(W(mode), 2), 0);
  EXPECT_EQ(Text(engine.RegReadHKCU(W(mode))), u"2");
  EXPECT_EQ(engine.RegWriteHKCUInt(W(mode), -5), 0);
  EXPECT_EQ(Text(engine.RegReadHKCU(W(u"SOFTWARE\\zyqsecurities\\registermode"))), u"-5");
  EXPECT_EQ(engine.GetErrorCode(), 0);
  EXPECT_EQ(engine.RegWriteHKCUInt(W(mode), INT32_MIN), 0);
  EXPECT_EQ(Text(engine.RegReadHKCU(W(mode))), u"-2147483648");

  EXPECT_EQ(engine.RegWriteHKCUStr(W(u"Software\\ZYQ\\Name"), W(u"證券 abc")), 0);
  EXPECT_EQ(Text(engine.RegReadHKCU(W(u"Software\\ZYQ\\Name"))), u"證券 abc");
  // The value is written without a terminating NUL: its size is the text's length.
  platform::RegistryKey key;
  ASSERT_EQ(
      platform::DefaultRegistry().OpenKey(
          platform::RegistryKey::Root(platform::RegistryHive::kCurrentUser), "Software\\ZYQ", &key),
      0u);
  uint32_t type = 0, size = 0;
  ASSERT_EQ(platform::DefaultRegistry().QueryValueInfo(key, "Name", &type, &size), 0u);
  EXPECT_EQ(type, platform::kRegSz);
  EXPECT_EQ(size, 8u);  // 2 double-byte characters and " abc"

  // A trailing backslash names the key's default value.
  EXPECT_EQ(engine.RegWriteHKCUStr(W(u"Software\\ZYQ\\"), W(u"default")), 0);
  EXPECT_EQ(Text(engine.RegReadHKCU(W(u"Software\\ZYQ\\"))), u"default");
  std::string data;
  platform::RegistryValue value;
  ASSERT_EQ(platform::DefaultRegistry().QueryValue(key, "", 255, &value), 0u);
  EXPECT_EQ(value.data, "default");

  // Empty and null texts write an empty value.
  EXPECT_EQ(engine.RegWriteHKCUStr(W(u"Software\\ZYQ\\Empty"), W(u"")), 0);
  EXPECT_EQ(engine.RegWriteHKCUStr(W(u"Software\\ZYQ\\Null"), Bstr()), 0);
  EXPECT_EQ(Text(engine.RegReadHKCU(W(u"Software\\ZYQ\\Null"))), u"");
  EXPECT_EQ(engine.GetErrorCode(), 0);
}

TEST_F(HostOperationsTest, BadNamesGive5005) {
  EXPECT_EQ(engine.RegWriteHKCUInt(W(u"RegisterMode"), 1), 5005);
  EXPECT_EQ(engine.GetErrorCode(), 5005);
  EXPECT_EQ(engine.RegWriteHKCUStr(W(u""), W(u"x")), 5005);
  EXPECT_EQ(engine.RegWriteHKCUStr(Bstr(), W(u"x")), 5005);
  EXPECT_EQ(Text(engine.RegReadHKCU(W(u"NoBackslash"))), u"");
  EXPECT_EQ(engine.GetErrorCode(), 5005);
  EXPECT_EQ(Text(engine.RegReadHKCU(Bstr())), u"");
  EXPECT_EQ(engine.GetErrorCode(), 5005);
  // A name whose only backslash is inside a double-byte character ("許" is B3 5C).
  EXPECT_EQ(engine.RegWriteHKCUInt(W(u"許"), 1), 5005);
  // A key path that cannot exist: it cannot be created, nor opened.
  EXPECT_EQ(engine.RegWriteHKCUInt(W(std::u16string(10000, u'\\').c_str()), 1), 5906);
  EXPECT_EQ(Text(engine.RegReadHKCU(W(std::u16string(10000, u'\\').c_str()))), u"");
  EXPECT_EQ(engine.GetErrorCode(), 5906);
  EXPECT_EQ(engine.GetCapiErrorCode(), 0);
}

TEST_F(HostOperationsTest, ReadsThatFindNothingGiveEmptyTextWithSuccess) {
  EXPECT_EQ(Text(engine.RegReadHKCU(W(u"Software\\Missing\\Value"))), u"");
  EXPECT_EQ(engine.GetErrorCode(), 5906);  // the key cannot be opened
  ASSERT_EQ(engine.RegWriteHKCUInt(W(u"Software\\Here\\Number"), 7), 0);
  EXPECT_EQ(Text(engine.RegReadHKCU(W(u"Software\\Here\\Missing"))), u"");
  EXPECT_EQ(engine.GetErrorCode(), 0);

  // A text of 255 bytes fits the reader's buffer, one of 256 reads as "" with success.
  const std::u16string fits(255, u'a');
  ASSERT_EQ(engine.RegWriteHKCUStr(W(u"Software\\Here\\Fits"), W(fits.c_str())), 0);
  EXPECT_EQ(Text(engine.RegReadHKCU(W(u"Software\\Here\\Fits"))), fits);
  const std::u16string tooLong(256, u'b');
  ASSERT_EQ(engine.RegWriteHKCUStr(W(u"Software\\Here\\Long"), W(tooLong.c_str())), 0);
  engine.RegWriteHKCUInt(W(u"NoBackslash"), 0);  // leaves 5005 behind
  EXPECT_EQ(Text(engine.RegReadHKCU(W(u"Software\\Here\\Long"))), u"");
  EXPECT_EQ(engine.GetErrorCode(), 0);
  // 128 Chinese characters are 256 ANSI bytes: too long as well.
  const std::u16string chinese(128, u'證');
  ASSERT_EQ(engine.RegWriteHKCUStr(W(u"Software\\Here\\Zh"), W(chinese.c_str())), 0);
  EXPECT_EQ(Text(engine.RegReadHKCU(W(u"Software\\Here\\Zh"))), u"");

  // Values of other types read as "".
  platform::RegistryKey key;
  ASSERT_EQ(platform::DefaultRegistry().OpenKey(
                platform::RegistryKey::Root(platform::RegistryHive::kCurrentUser), "Software\\Here",
                &key),
            0u);
  ASSERT_EQ(platform::DefaultRegistry().SetValue(key, "Bin", platform::kRegBinary, "\x01\x02"), 0u);
  EXPECT_EQ(Text(engine.RegReadHKCU(W(u"Software\\Here\\Bin"))), u"");
  // A DWORD value of 8 bytes does not fit the 4-byte number; text up to its first NUL.
  ASSERT_EQ(platform::DefaultRegistry().SetValue(key, "Wide", platform::kRegDword,
                                                 std::string(8, '\x01')),
            0u);
  EXPECT_EQ(Text(engine.RegReadHKCU(W(u"Software\\Here\\Wide"))), u"");
  ASSERT_EQ(
      platform::DefaultRegistry().SetValue(key, "Nul", platform::kRegSz, std::string("ab\0cd", 5)),
      0u);
  EXPECT_EQ(Text(engine.RegReadHKCU(W(u"Software\\Here\\Nul"))), u"ab");
  EXPECT_EQ(engine.GetErrorCode(), 0);
}

// A registry whose store refuses changes (a full disk): every write gives 5906.
class FullDiskRegistry : public platform::RegistryWrapper {
 public:
  using RegistryWrapper::RegistryWrapper;
  platform::SysError SetValue(const platform::RegistryKey&, std::string_view, uint32_t,
                              std::string_view) override {
    return platform::kErrorDiskFull;
  }
};

class UnreadableRegistry : public platform::RegistryWrapper {
 public:
  using RegistryWrapper::RegistryWrapper;
  platform::SysError OpenKey(const platform::RegistryKey&, std::string_view,
                             platform::RegistryKey*) override {
    return platform::kErrorAccessDenied;
  }
  platform::SysError CreateKey(const platform::RegistryKey&, std::string_view,
                               platform::RegistryKey*, bool*) override {
    return platform::kErrorAccessDenied;
  }
};

TEST_F(HostOperationsTest, AFailingRegistryGives5906WithoutSystemError) {
  ASSERT_EQ(engine.RegWriteHKCUInt(W(u"Software\\ZYQSecurities\\Mode"), 1), 0);
  FullDiskRegistry full(platform::DefaultRegistry());
  platform::SetRegistryForTesting(&full);
  EXPECT_EQ(engine.RegWriteHKCUInt(W(u"Software\\ZYQSecurities\\Mode"), 2), 5906);
  EXPECT_EQ(engine.RegWriteHKCUStr(W(u"Software\\ZYQSecurities\\Text"), W(u"x")), 5906);
  EXPECT_EQ(engine.GetErrorCode(), 5906);
  EXPECT_EQ(engine.GetCapiErrorCode(), 0);
  EXPECT_EQ(Text(engine.RegReadHKCU(W(u"Software\\ZYQSecurities\\Mode"))), u"1");  // unchanged

  UnreadableRegistry unreadable(platform::DefaultRegistry());
  platform::SetRegistryForTesting(&unreadable);
  EXPECT_EQ(Text(engine.RegReadHKCU(W(u"Software\\ZYQSecurities\\Mode"))), u"");
  EXPECT_EQ(engine.GetErrorCode(), 5906);
  EXPECT_EQ(engine.RegWriteHKCUInt(W(u"Software\\ZYQSecurities\\Mode"), 3), 5906);

  platform::SetRegistryForTesting(nullptr);
  EXPECT_EQ(Text(engine.RegReadHKCU(W(u"Software\\ZYQSecurities\\Mode"))), u"1");
  EXPECT_EQ(engine.GetErrorCode(), 0);
}

TEST_F(HostOperationsTest, DefaultCertPathIsTheFolderInHome) {
  const std::string home = std::getenv("HOME");
  EXPECT_EQ(Text(engine.GetDefaultCertPath()), platform::Utf8ToWide(home + "/ZYQ證券"));
  // It reports nothing: the previous outcome stays.
  engine.Hash(Bstr(), 0);
  engine.GetDefaultCertPath();
  EXPECT_EQ(engine.GetErrorCode(), 5005);
}

TEST_F(HostOperationsTest, WindowsSystemNameOnThisSystem) {
  EXPECT_EQ(Text(engine.GetWindowsSystemName()), u"非 Windows 作業系統");
}

TEST_F(HostOperationsTest, MacAddressesOfThisMachine) {
  std::vector<platform::NetworkAdapter> adapters;
  ASSERT_EQ(platform::ListNetworkAdapters(&adapters), 0u);
  const std::u16string text = Text(engine.GetMacAddress());
  if (adapters.empty()) {
    EXPECT_EQ(text, u"");
    EXPECT_EQ(engine.GetErrorCode(), 5001);
    return;
  }
  EXPECT_EQ(engine.GetErrorCode(), 0);
  EXPECT_EQ(text.size(), adapters.size() * 18 - 1);
  for (size_t i = 0; i < adapters.size(); ++i) {
    char expected[18];
    const auto& a = adapters[i].address;
    std::snprintf(expected, sizeof expected, "%02X-%02X-%02X-%02X-%02X-%02X", a[0], a[1], a[2],
                  a[3], a[4], a[5]);
    EXPECT_EQ(platform::WideToUtf8(text.substr(i * 18, 17)), expected);
  }
}

}  // namespace
}  // namespace zyq
