#include "ui/CertListDialog.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Text.h"
#include "tests/support/TestEnvironment.h"
#include "tests/ui/ScriptedDialogs.h"
#include "ui/DialogResults.h"

namespace zyq::ui {
namespace {

std::vector<CertificateCandidate> ThreeCandidates() {
  using platform::Utf8ToAnsi;
  return {
      {{0x30, 0x01, 0xAA}, Utf8ToAnsi("王小明"), "2024/01/01", "2026/01/01", "Test CA"},
      {{0x30, 0x01, 0xBB},
       "C=TW, O=ZYQ, OU=Unit",
       "2024/02/01",
       "2026/02/01",
       "C=TW, O=Root Issuer"},
      {{0x30, 0x02, 0xCC, 0xDD}, "third", "2023/03/03", "2025/03/03", "Test CA"},
  };
}

TEST(CertListDialogTest, OkWithoutChangeChoosesTheFirstRow) {
  test::ScriptedDialogs dialogs;
  dialogs.Answer({"ok", "ok\tindex=2"});
  const auto candidates = ThreeCandidates();
  int chosen = -1;
  EXPECT_EQ(ChooseCertificate(candidates, chosen), kDialogOk);
  EXPECT_EQ(chosen, 0);
  EXPECT_EQ(ChooseCertificate(candidates, chosen), kDialogOk);
  EXPECT_EQ(chosen, 2);
  const auto lines = dialogs.Transcript();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            R"({"template": 201, "caption": "選擇憑證匯出至憑證交換檔", "rows": [)"
            R"(["王小明", "2024/01/01", "2026/01/01", "Test CA"], )"
            R"(["C=TW, O=ZYQ, OU=Unit", "2024/02/01", "2026/02/01", "C=TW, O=Root Issuer"], )"
            R"(["third", "2023/03/03", "2025/03/03", "Test CA"]], )"
            R"("selected": 0, "answer": "ok"})");
  EXPECT_NE(lines[1].find(R"("selected": 2, "answer": "ok"})"), std::string::npos);
}

TEST(CertListDialogTest, CancelAndBadRowsChooseNothing) {
  test::ScriptedDialogs dialogs;
  dialogs.Answer({"cancel\tindex=1", "ok\tindex=3", "ok\tindex=x"});
  const auto candidates = ThreeCandidates();
  int chosen = -1;
  EXPECT_EQ(ChooseCertificate(candidates, chosen), kDialogCancelled);
  EXPECT_EQ(ChooseCertificate(candidates, chosen), kDialogCancelled);
  EXPECT_EQ(ChooseCertificate(candidates, chosen), kDialogCancelled);
  EXPECT_EQ(ChooseCertificate(candidates, chosen), kDialogCancelled);  // no line left
  EXPECT_EQ(chosen, -1);
  // No candidates: nothing is shown.
  EXPECT_EQ(ChooseCertificate({}, chosen), kNoCertificateChosen);
  EXPECT_EQ(dialogs.Transcript().size(), 4u);
}

TEST(CertListDialogTest, ViewTwiceLeavesOneFileWithTheSecondCertificate) {
  test::ScriptedDialogs dialogs;
  dialogs.Answer({"ok\tview=0\tview=2\tindex=1"});
  const auto candidates = ThreeCandidates();
  int chosen = -1;
  EXPECT_EQ(ChooseCertificate(candidates, chosen), kDialogOk);
  EXPECT_EQ(chosen, 1);
  const std::string tmp = std::getenv("TMPDIR");
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(tmp)) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"temp.cer"});
  EXPECT_EQ(test::ReadFile(tmp + "/temp.cer"), std::string("\x30\x02\xCC\xDD", 4));
}

TEST(CertListDialogTest, ViewReplacesALinkInsteadOfWritingThroughIt) {
  const std::string tmp = std::getenv("TMPDIR");
  const std::string victim = test::TestRoot() + "/victim.txt";
  ASSERT_TRUE(test::WriteFile(victim, "keep me"));
  std::filesystem::remove(tmp + "/temp.cer");
  std::filesystem::create_symlink(victim, tmp + "/temp.cer");
  const auto candidates = ThreeCandidates();
  CertListDialog dialog(candidates);
  EXPECT_EQ(dialog.WriteViewerFile(0), tmp + "/temp.cer");
  EXPECT_EQ(test::ReadFile(victim), "keep me");
  EXPECT_FALSE(std::filesystem::is_symlink(tmp + "/temp.cer"));
  EXPECT_EQ(test::ReadFile(tmp + "/temp.cer"), std::string("\x30\x01\xAA", 3));
  EXPECT_EQ(dialog.WriteViewerFile(3), std::nullopt);
}

}  // namespace
}  // namespace zyq::ui
