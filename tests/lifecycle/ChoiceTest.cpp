// The choice among the certificates of "MY" that match a search (SelectCertFromIE, and the same
// rule in ExportPfxFromIE and ExportMobileFromIE): when the list dialog is shown, what it shows,
// and which certificate becomes the returned certificate.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "codec/ByteBuffer.h"
#include "engine/ResultCodes.h"
#include "engine/SecurityEngine.h"
#include "platform/CryptoKeys.h"
#include "tests/lifecycle/LifecycleTestSupport.h"
#include "tests/ui/ScriptedDialogs.h"

namespace zyq::test {
namespace {

constexpr int32_t kContains = 0x8;
constexpr int32_t kAlwaysAsk = 1;
constexpr int32_t kBestOnly = 2;

class ChoiceTest : public ::testing::Test {
 protected:
  // Two certificates of the same holder name issued on different days (the later one first in
  // the store), and one of another holder.
  void SetUp() override {
    // The list shows dates in local time; these tests read them in UTC.
    setenv("TZ", "UTC", 1);
    tzset();
    older = Issue(ca, "Wang Older", "critical,digitalSignature", 21, 1262401445);
    newer = Issue(ca, "Wang Newer", "critical,digitalSignature", 22, 1293937445);
    other = Issue(ca, "Lee", "critical,digitalSignature", 23);
    AddToPersonalStore(newer, platform::kCryptExportable);
    AddToPersonalStore(older, platform::kCryptExportable);
    AddToPersonalStore(other, platform::kCryptExportable);
  }
  std::string Returned() { return Str(engine.GetRtnCert()); }
  static std::string Base64Of(const Bytes& der) {
    ByteBuffer text;
    text.EncodeBase64(der.data(), static_cast<int>(der.size()));
    return std::string(text.view());
  }

  Authority ca;
  Holder older, newer, other;
  SecurityEngine engine;
  ScriptedDialogs dialogs;
};

TEST_F(ChoiceTest, OneMatchIsTakenWithoutTheList) {
  EXPECT_EQ(engine.SelectCertFromIE(Text("CN=Lee"), kContains, 0), 0);
  EXPECT_EQ(Returned(), Base64Of(other.cert));
  EXPECT_EQ(Str(engine.GetCertSubjectCN()), "Lee");
  EXPECT_TRUE(dialogs.Transcript().empty());
}

TEST_F(ChoiceTest, TwoMatchesShowTheListAndTheUserDecides) {
  dialogs.Answer({"ok\tindex=1"});
  EXPECT_EQ(engine.SelectCertFromIE(Text("CN=Wang"), kContains, 0), 0);
  EXPECT_EQ(Returned(), Base64Of(older.cert));
  const std::vector<std::string> transcript = dialogs.Transcript();
  ASSERT_EQ(transcript.size(), 1u);
  // Rows in store order: holder, validity dates, issuer's CN.
  EXPECT_NE(transcript[0].find("\"template\": 201"), std::string::npos);
  EXPECT_NE(transcript[0].find("[\"Wang Newer\", \"2011/01/02\""), std::string::npos)
      << transcript[0];
  EXPECT_NE(transcript[0].find("[\"Wang Older\", \"2010/01/02\""), std::string::npos);
  EXPECT_NE(transcript[0].find("\"Lifecycle Root CA\"]"), std::string::npos);
  EXPECT_EQ(transcript[0].find("\"Lee\""), std::string::npos);
}

TEST_F(ChoiceTest, CancelledListLeavesNoReturnedCertificate) {
  EXPECT_EQ(engine.SelectCertFromIE(Text("CN=Lee"), kContains, 0), 0);
  dialogs.Answer({"cancel"});
  EXPECT_EQ(engine.SelectCertFromIE(Text("CN=Wang"), kContains, 0), result::kCancelled);
  EXPECT_EQ(Returned(), "");
  EXPECT_EQ(dialogs.Transcript().size(), 1u);
}

TEST_F(ChoiceTest, BestOnlyTakesTheLatestIssuedWithoutTheList) {
  EXPECT_EQ(engine.SelectCertFromIE(Text("CN=Wang"), kContains | kBestOnly, 0), 0);
  EXPECT_EQ(Returned(), Base64Of(newer.cert));
  EXPECT_TRUE(dialogs.Transcript().empty());
}

TEST_F(ChoiceTest, AlwaysAskShowsTheListForASingleMatch) {
  dialogs.Answer({"ok"});
  EXPECT_EQ(engine.SelectCertFromIE(Text("CN=Lee"), kContains | kAlwaysAsk, 0), 0);
  EXPECT_EQ(Returned(), Base64Of(other.cert));
  const std::vector<std::string> transcript = dialogs.Transcript();
  ASSERT_EQ(transcript.size(), 1u);
  EXPECT_NE(transcript[0].find("\"rows\": [[\"Lee\""), std::string::npos) << transcript[0];
}

TEST_F(ChoiceTest, NoMatchReportsWhyTheLastCandidateWasRejected) {
  EXPECT_EQ(engine.SelectCertFromIE(Text("CN=Lee"), kContains, 0), 0);
  // Lee's certificate lacks keyEncipherment (0x20).
  EXPECT_EQ(engine.SelectCertFromIE(Text("CN=Lee"), kContains, 0x20), result::kKeyUsageMismatch);
  EXPECT_EQ(Returned(), "");
  EXPECT_EQ(engine.SelectCertFromIE(Text("CN=Nobody"), kContains, 0), result::kCertNotFound);
  EXPECT_TRUE(dialogs.Transcript().empty());
}

}  // namespace
}  // namespace zyq::test
