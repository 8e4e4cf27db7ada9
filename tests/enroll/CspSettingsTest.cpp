// The key-generation settings and the provider list, on the record itself and through the
// engine's operations (which copy the record's outcome into the engine's fields).
#include "enroll/CspSettings.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "engine/SecurityEngine.h"
#include "platform/Providers.h"
#include "tests/enroll/EnrollTestSupport.h"

namespace zyq {
namespace {

using enroll::CspSettings;
using platform::Bstr;

class CspSettingsTest : public test::EnrollStateTest {};

TEST_F(CspSettingsTest, ListsTheBuiltInFullRsaProvidersInEnumerationOrder) {
  CspSettings settings;
  // The AES provider is of type 24 and is left out.
  const std::vector<std::string> expected = {platform::kMsDefProv, platform::kMsEnhancedProv,
                                             platform::kMsStrongProv};
  EXPECT_EQ(settings.providerList(), expected);
  EXPECT_EQ(settings.result(), 0);
  EXPECT_EQ(settings.keyBits(), 1024);
  EXPECT_EQ(settings.providerName(), "");
  EXPECT_EQ(settings.providerType(), 1);
  EXPECT_EQ(settings.keySpec(), 1);
  EXPECT_EQ(settings.genKeyFlags(), 1);
}

TEST_F(CspSettingsTest, InstalledProvidersOfOtherTypesAreLeftOutAndIndicesClamp) {
  ASSERT_EQ(platform::InstallProvider("Alpha Soft RSA", 1), 0u);
  ASSERT_EQ(platform::InstallProvider("Beta Soft RSA", 24), 0u);
  ASSERT_EQ(platform::InstallProvider("Zeta Soft RSA", 1), 0u);
  SecurityEngine engine;
  const std::vector<std::u16string> expected = {
      u"Alpha Soft RSA", u"Microsoft Base Cryptographic Provider v1.0",
      u"Microsoft Enhanced Cryptographic Provider v1.0", u"Microsoft Strong Cryptographic Provider",
      u"Zeta Soft RSA"};
  for (int i = 0; i < static_cast<int>(expected.size()); ++i) {
    EXPECT_EQ(engine.EnumProviders(i, 0).View(), expected[i]) << i;
    EXPECT_EQ(engine.GetErrorCode(), 0);
  }
  // Past the end: an empty (but allocated) text; a negative index counts as 0; flags are ignored.
  Bstr past = engine.EnumProviders(5, 0);
  EXPECT_FALSE(past.IsNull());
  EXPECT_TRUE(past.Empty());
  EXPECT_TRUE(engine.EnumProviders(INT_MAX, 0).Empty());
  EXPECT_EQ(engine.EnumProviders(-5, 0).View(), u"Alpha Soft RSA");
  EXPECT_EQ(engine.EnumProviders(INT_MIN, 7).View(), u"Alpha Soft RSA");
}

TEST_F(CspSettingsTest, TheListIsMadeOncePerEngine) {
  SecurityEngine before;
  ASSERT_EQ(platform::InstallProvider("Late Soft RSA", 1), 0u);
  EXPECT_TRUE(before.EnumProviders(3, 0).Empty());
  EXPECT_EQ(before.SetProviderName(Bstr::FromWide(u"Late Soft RSA")), 5046);

  SecurityEngine after;
  EXPECT_EQ(after.EnumProviders(0, 0).View(), u"Late Soft RSA");
  EXPECT_EQ(after.SetProviderName(Bstr::FromWide(u"Late Soft RSA")), 0);
}

TEST_F(CspSettingsTest, KeyBitsFallBackTo1024ForAnyOtherLength) {
  CspSettings settings;
  for (int bits : {512, 2048, 1024}) {
    EXPECT_EQ(settings.SetKeyBits(bits), 0);
    EXPECT_EQ(settings.keyBits(), bits);
  }
  for (int bits : {4096, 0, -1, 768, INT_MIN}) {
    ASSERT_EQ(settings.SetKeyBits(2048), 0);
    EXPECT_EQ(settings.SetKeyBits(bits), 5301) << bits;
    EXPECT_EQ(settings.result(), 5301);
    EXPECT_EQ(settings.keyBits(), 1024) << bits;
  }
}

TEST_F(CspSettingsTest, ProviderNameMustMatchAListedNameExactly) {
  CspSettings settings;
  EXPECT_EQ(settings.SetProviderName(platform::kMsEnhancedProv), 0);
  EXPECT_EQ(settings.providerName(), platform::kMsEnhancedProv);

  // Letter case, a missing character or a trailing blank: refused, the name stays.
  for (const char* wrong :
       {"microsoft enhanced cryptographic provider v1.0", "Microsoft Enhanced Cryptographic",
        "Microsoft Base Cryptographic Provider v1.0 ",
        "Microsoft Enhanced RSA and AES Cryptographic Provider"}) {
    EXPECT_EQ(settings.SetProviderName(wrong), 5046) << wrong;
    EXPECT_EQ(settings.systemError(), 0u);
    EXPECT_EQ(settings.providerName(), platform::kMsEnhancedProv);
  }
  EXPECT_EQ(settings.SetProviderName(""), 5005);
  EXPECT_EQ(settings.providerName(), platform::kMsEnhancedProv);
}

TEST_F(CspSettingsTest, TypeSpecAndFlagsAreNormalised) {
  CspSettings settings;
  EXPECT_EQ(settings.SetProviderType(24), 0);
  EXPECT_EQ(settings.providerType(), 1);

  EXPECT_EQ(settings.SetKeySpec(2), 0);
  EXPECT_EQ(settings.keySpec(), 2);
  for (int spec : {0, 3, -2}) {
    ASSERT_EQ(settings.SetKeySpec(2), 0);
    EXPECT_EQ(settings.SetKeySpec(spec), 0);
    EXPECT_EQ(settings.keySpec(), 1) << spec;
  }

  for (int flags : {0, 1, 2, 3}) {
    EXPECT_EQ(settings.SetGenKeyFlags(flags), 0);
    EXPECT_EQ(settings.genKeyFlags(), flags);
  }
  for (int flags : {7, -1, 4}) {
    ASSERT_EQ(settings.SetGenKeyFlags(0), 0);
    EXPECT_EQ(settings.SetGenKeyFlags(flags), 0);
    EXPECT_EQ(settings.genKeyFlags(), 1) << flags;
  }
}

TEST_F(CspSettingsTest, EngineReportsTheOutcomeOfEachSetter) {
  SecurityEngine engine;
  EXPECT_EQ(engine.SetKeyBits(4096), 5301);
  EXPECT_EQ(engine.GetErrorCode(), 5301);
  EXPECT_EQ(engine.GetErrorMsg().View(), u"金鑰長度錯誤(5301)");

  EXPECT_EQ(engine.SetProviderName(Bstr::FromWide(u"No Such Provider")), 5046);
  EXPECT_EQ(engine.GetErrorMsg().View(), u"CSP 名稱錯誤(5046)");
  EXPECT_EQ(engine.SetProviderName(Bstr()), 5005);
  EXPECT_EQ(engine.SetProviderName(Bstr::FromWide(u"")), 5005);
  // The name is read up to its first NUL, as the narrow conversion sees it.
  const std::u16string withNul =
      std::u16string(u"Microsoft Strong Cryptographic Provider") + u'\0' + u"tail";
  EXPECT_EQ(engine.SetProviderName(Bstr::FromView(withNul)), 0);

  EXPECT_EQ(engine.SetKeyBits(4096), 5301);
  EXPECT_EQ(engine.SetProviderType(24), 0);
  EXPECT_EQ(engine.GetErrorCode(), 0);
  EXPECT_EQ(engine.SetKeySpec(9), 0);
  EXPECT_EQ(engine.SetGenKeyFlags(9), 0);
  EXPECT_EQ(engine.GetCapiErrorCode(), 0);

  // EnumProviders reports success whatever came before.
  EXPECT_EQ(engine.SetKeyBits(1), 5301);
  EXPECT_EQ(engine.EnumProviders(0, 0).View(), u"Microsoft Base Cryptographic Provider v1.0");
  EXPECT_EQ(engine.GetErrorCode(), 0);
}

}  // namespace
}  // namespace zyq
