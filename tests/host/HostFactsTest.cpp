#include <gtest/gtest.h>

#include "host/HostFacts.h"
#include "host/RegistryName.h"
#include "host/UpperCaseBstr.h"
#include "platform/Text.h"

namespace zyq {
namespace {

using platform::NetworkAdapter;
using platform::OsVersion;
using platform::Utf8ToAnsi;

NetworkAdapter Adapter(std::vector<uint8_t> address) {
  NetworkAdapter a;
  a.address = std::move(address);
  return a;
}

TEST(HostFactsTest, AdapterAddressesAreJoinedLinesOfSixHexPairs) {
  std::string text;
  ASSERT_EQ(FormatAdapterAddresses({Adapter({0x02, 0xfc, 0x00, 0x0a, 0xb0, 0x01}),
                                    Adapter({0x12, 0xd3, 0xf2, 0x9d, 0xd1, 0x3a})},
                                   &text),
            0);
  EXPECT_EQ(text, "02-FC-00-0A-B0-01\n12-D3-F2-9D-D1-3A");
  // Longer addresses show their first six bytes, shorter ones are filled with zeros.
  ASSERT_EQ(
      FormatAdapterAddresses({Adapter({1, 2, 3, 4, 5, 6, 7, 8}), Adapter({0xAB, 0xCD})}, &text), 0);
  EXPECT_EQ(text, "01-02-03-04-05-06\nAB-CD-00-00-00-00");
}

TEST(HostFactsTest, NoAdapterOrMoreThanTheListHoldsIsAFailure) {
  std::string text = "stale";
  EXPECT_EQ(FormatAdapterAddresses({}, &text), 5001);
  EXPECT_EQ(text, "");
  std::vector<NetworkAdapter> many(kMaxListedAdapters, Adapter({1, 2, 3, 4, 5, 6}));
  ASSERT_EQ(FormatAdapterAddresses(many, &text), 0);
  EXPECT_EQ(text.size(), kMaxListedAdapters * 18 - 1);
  many.push_back(Adapter({1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(FormatAdapterAddresses(many, &text), 5001);
  EXPECT_EQ(text, "");
}

OsVersion Version(uint32_t major, uint32_t minor, uint32_t platformId = 2, uint8_t product = 1,
                  uint16_t arch = 0, bool r2 = false) {
  OsVersion v;
  v.valid = true;
  v.major = major;
  v.minor = minor;
  v.platformId = platformId;
  v.productType = product;
  v.processorArchitecture = arch;
  v.serverR2 = r2;
  return v;
}

TEST(HostFactsTest, WindowsVersionNamesFollowTheTableInOrder) {
  const struct {
    OsVersion version;
    const char* name;
  } cases[] = {
      {OsVersion{}, "非 Windows 作業系統"},
      {Version(4, 0, 2), "Microsoft Windows NT 4.0"},
      {Version(4, 0, 1), "Microsoft Windows 95"},
      {Version(4, 0, 0), ""},
      {Version(4, 10, 1), "Microsoft Windows 98"},
      {Version(4, 90, 1), "Microsoft Windows Me"},
      {Version(4, 3), ""},
      {Version(5, 0), "Microsoft Windows 2000"},
      {Version(5, 1), "Microsoft Windows XP"},
      {Version(5, 2, 2, 1, 9), "Microsoft Windows XP Professional x64 Edition"},
      {Version(5, 2, 2, 1, 0), "Microsoft Windows Server 2003"},  // a 32-bit workstation
      {Version(5, 2, 2, 3, 9), "Microsoft Windows Server 2003"},
      {Version(5, 2, 2, 3, 0, true), "Microsoft Windows Server 2003 R2"},
      {Version(6, 0, 2, 1), "Microsoft Windows Vista"},
      {Version(6, 0, 2, 3), "Microsoft Windows Server 2008"},
      {Version(6, 1, 2, 1), "Microsoft Windows 7"},
      {Version(6, 1, 2, 2), "Microsoft Windows Server 2008 R2"},
      {Version(6, 2), ""},
      {Version(5, 3), ""},
      {Version(10, 0), "Windows 系統無法識別"},
      {Version(3, 51), "Windows 系統無法識別"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WindowsSystemName(c.version), Utf8ToAnsi(c.name))
        << c.version.major << "." << c.version.minor << " " << c.name;
  }
}

TEST(HostFactsTest, DefaultCertFolderPerSystem) {
  const std::string folder = Utf8ToAnsi("ZYQ證券");
  // Not Windows: $HOME by the POSIX rule.
  EXPECT_EQ(BuildDefaultCertPath(OsVersion{}, "", "/home/user"), "/home/user/" + folder);
  EXPECT_EQ(BuildDefaultCertPath(OsVersion{}, "", "/"), "/" + folder);
  // Windows NT 4.0: the drive of the Windows folder; later: the profile folder.
  EXPECT_EQ(BuildDefaultCertPath(Version(4, 0), "C:\\WINNT", "C:\\Users\\u"), "C:\\" + folder);
  EXPECT_EQ(BuildDefaultCertPath(Version(5, 1), "C:\\WINDOWS", "C:\\Documents and Settings\\u"),
            "C:\\Documents and Settings\\u\\" + folder);
}

TEST(HostFactsTest, RegistryNamesSplitAtTheLastBackslash) {
  std::string key, value;
  ASSERT_TRUE(SplitRegistryName("Software\\ZYQSecurities\\RegisterMode", &key, &value));
  EXPECT_EQ(key, "Software\\ZYQSecurities");
  EXPECT_EQ(value, "RegisterMode");
  ASSERT_TRUE(SplitRegistryName("Software\\ZYQSecurities\\", &key, &value));
  EXPECT_EQ(key, "Software\\ZYQSecurities");
  EXPECT_EQ(value, "");
  ASSERT_TRUE(SplitRegistryName("\\top", &key, &value));
  EXPECT_EQ(key, "");
  EXPECT_EQ(value, "top");
  EXPECT_FALSE(SplitRegistryName("", &key, &value));
  EXPECT_FALSE(SplitRegistryName("RegisterMode", &key, &value));
  // "許" ends in the byte of "\": it is no separator.
  const std::string xu = Utf8ToAnsi("許");
  EXPECT_FALSE(SplitRegistryName(xu, &key, &value));
  ASSERT_TRUE(SplitRegistryName("Software\\" + xu + "\\" + xu, &key, &value));
  EXPECT_EQ(key, "Software\\" + xu);
  EXPECT_EQ(value, xu);
}

TEST(HostFactsTest, UpperCaseBstrChangesAsciiLettersOnly) {
  platform::Bstr id = platform::Bstr::FromWide(u"a123456789許x");
  UpperCaseBstr(id);
  EXPECT_EQ(id.View(), u"A123456789許X");
  platform::Bstr none;
  UpperCaseBstr(none);
  EXPECT_TRUE(none.IsNull());
  platform::Bstr greek = platform::Bstr::FromWide(u"αb😀");
  UpperCaseBstr(greek);
  EXPECT_EQ(greek.View(), u"αB?");  // CharUpperA leaves double-byte characters alone
}

}  // namespace
}  // namespace zyq
