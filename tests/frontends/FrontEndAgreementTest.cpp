// The front-ends side by side in one process: the flat exports (the process-wide engine) and
// COM objects (an engine each) run the same operations with the same arguments. They agree on
// every outcome, and the outcome of one engine never shows through another.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <vector>

#include "api/OperationTable.h"
#include "tests/com/ComClient.h"

namespace zyq::test {
namespace {

class FrontEndAgreementTest : public testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(lib.canUnloadNow(), S_OK); }

  int32_t FlatErrorCode() { return lib.Symbol<int32_t (*)()>("GetErrorCode")(); }
  LONG ComErrorCode(IZYQapi* api) {
    LONG code = -12345;
    EXPECT_EQ(api->GetErrorCode(&code), S_OK);
    return code;
  }

  ComClient lib;
};

TEST_F(FrontEndAgreementTest, EveryOperationGivesTheSameOutcomeThroughFlatAndCom) {
  ComPtr<IZYQapi> api = lib.Create();
  std::vector<BSTR> owned;
  [[maybe_unused]] auto sampleText = [&](std::string_view name) {
    std::u16string s = u"zyq-agreement-" + std::u16string(name.begin(), name.end());
    owned.push_back(lib.sysAllocString(s.c_str()));
    return owned.back();
  };
  // Same outcome; a text result empty on both sides or on neither; the same value for readings
  // of state and for integers.
  auto compare = [&](auto flat, auto com, bool plainReading) {
    if constexpr (std::is_same_v<decltype(flat), BSTR>) {
      const std::u16string flatText = lib.Take(flat).value_or(u"");
      const std::u16string comText = lib.Take(com).value_or(u"");
      EXPECT_EQ(flatText.empty(), comText.empty());
      if (plainReading) {
        EXPECT_EQ(flatText, comText);
      }
    } else {
      EXPECT_EQ(flat, com);
    }
  };
  int calls = 0;

#define ZYQ_T_ARG_TEXT(name) sampleText(#name)
#define ZYQ_T_ARG_INT(name) LONG(0)
#define ZYQ_T_ARG(arg) ZYQ_ARG_KIND(ZYQ_T_ARG_, arg)
#define ZYQ_T_FLAT_TEXT(name) const char16_t*
#define ZYQ_T_FLAT_INT(name) int32_t
#define ZYQ_T_FLAT(arg) ZYQ_ARG_KIND(ZYQ_T_FLAT_, arg)
#define ZYQ_T_RESULT_TEXT BSTR
#define ZYQ_T_RESULT_INT LONG
#define ZYQ_T_AGREE(order, dispid, Name, Flat, Result, ...)                                    \
  {                                                                                            \
    SCOPED_TRACE(#Name);                                                                       \
    auto args = std::make_tuple(ZYQ_MAP_ARGS(ZYQ_T_ARG, __VA_ARGS__));                         \
    using FlatFn = ZYQ_T_RESULT_##Result (*)(ZYQ_MAP_ARGS(ZYQ_T_FLAT, __VA_ARGS__));           \
    const FlatFn flat = lib.Symbol<FlatFn>(#Flat);                                             \
    const ZYQ_T_RESULT_##Result flatResult =                                                   \
        std::apply([&](auto... a) { return flat(a...); }, args);                               \
    const int32_t flatCode = FlatErrorCode();                                                  \
    ZYQ_T_RESULT_##Result comResult{};                                                         \
    ASSERT_EQ(std::apply([&](auto... a) { return api->Name(a..., &comResult); }, args), S_OK); \
    EXPECT_EQ(ComErrorCode(api.get()), flatCode);                                              \
    compare(flatResult, comResult, std::tuple_size_v<decltype(args)> == 0);                    \
    ++calls;                                                                                   \
  }
  ZYQ_FOR_EACH_OPERATION(ZYQ_T_AGREE)
  for (BSTR b : owned) lib.sysFreeString(b);
  EXPECT_GT(calls, 0);
}

TEST_F(FrontEndAgreementTest, FlatVersionIsTheComVersion) {
  ComPtr<IZYQapi> api = lib.Create();
  BSTR com = nullptr;
  ASSERT_EQ(api->GetVersion(&com), S_OK);
  EXPECT_EQ(lib.Take(lib.Symbol<BSTR (*)()>("GetDllVersion")()), lib.Take(com));
}

#ifdef DISPID_IZYQapi_Hash
// A failure on one engine is seen only there.
TEST_F(FrontEndAgreementTest, OutcomesStayWithTheirEngine) {
  ComPtr<IZYQapi> first = lib.Create();
  ComPtr<IZYQapi> second = lib.Create();
  auto flatHash = lib.Symbol<BSTR (*)(const char16_t*, int32_t)>("Hash");
  BSTR empty = lib.sysAllocString(u"");
  BSTR digest = nullptr;

  lib.Take(flatHash(u"", 0));
  EXPECT_EQ(FlatErrorCode(), 5005);
  EXPECT_EQ(ComErrorCode(first.get()), 0);

  lib.Take(flatHash(u"abc", 0));
  ASSERT_EQ(first->Hash(empty, 0, &digest), S_OK);
  lib.Take(digest);
  EXPECT_EQ(ComErrorCode(first.get()), 5005);
  EXPECT_EQ(ComErrorCode(second.get()), 0);
  EXPECT_EQ(FlatErrorCode(), 0);
  lib.sysFreeString(empty);
}
#endif

}  // namespace
}  // namespace zyq::test
