#include <gtest/gtest.h>

#include "platform/DialogHost.h"
#include "platform/common/dialogs/ScriptHost.h"
#include "platform/common/dialogs/Transcript.h"
#include "tests/support/TestEnvironment.h"
#include "tests/ui/ScriptedDialogs.h"

namespace zyq::platform::common {
namespace {

TEST(ScriptLineTest, ParsesAnswerAndTabSeparatedFields) {
  ScriptLine line = ParseScriptLine("ok\tpassword=a=b c\tbrowse=/tmp/x y.pfx\r");
  EXPECT_TRUE(line.valid);
  EXPECT_TRUE(line.ok);
  ASSERT_EQ(line.fields.size(), 2u);
  EXPECT_EQ(line.fields[0], std::make_pair(std::string("password"), std::string("a=b c")));
  EXPECT_EQ(line.fields[1], std::make_pair(std::string("browse"), std::string("/tmp/x y.pfx")));

  line = ParseScriptLine("cancel");
  EXPECT_TRUE(line.valid);
  EXPECT_FALSE(line.ok);

  // An unknown answer, a field without a name and an empty line are not valid answers.
  EXPECT_FALSE(ParseScriptLine("OK").valid);
  EXPECT_FALSE(ParseScriptLine("ok\t=x").valid);
  EXPECT_FALSE(ParseScriptLine("ok\tpassword").valid);
  EXPECT_FALSE(ParseScriptLine("").valid);
}

TEST(ScriptLineTest, ReadsNumberedLinesIncludingAnUnterminatedLast) {
  const std::string path = zyq::test::TestRoot() + "/lines.txt";
  ASSERT_TRUE(zyq::test::WriteFile(path, "first\n\nthird"));
  EXPECT_EQ(ReadScriptLine(path, 0), "first");
  EXPECT_EQ(ReadScriptLine(path, 1), "");
  EXPECT_EQ(ReadScriptLine(path, 2), "third");
  EXPECT_EQ(ReadScriptLine(path, 3), std::nullopt);
  EXPECT_EQ(ReadScriptLine(path + ".missing", 0), std::nullopt);
}

TEST(JsonQuoteTest, EscapesControlsAndReplacesInvalidUtf8) {
  EXPECT_EQ(JsonQuote("a\"b\\c\n\t\x01"), "\"a\\\"b\\\\c\\n\\t\\u0001\"");
  EXPECT_EQ(JsonQuote("證"), "\"證\"");
  // A lone continuation byte, a truncated sequence and an encoded surrogate.
  EXPECT_EQ(JsonQuote("x\x80y\xE8\xAD"), "\"x\\ufffdy\\ufffd\\ufffd\"");
  EXPECT_EQ(JsonQuote("\xED\xA0\x80"), "\"\\ufffd\\ufffd\\ufffd\"");
}

PickerRequest FolderPicker(std::string initial) {
  PickerRequest request;
  request.kind = PickerKind::kFolder;
  request.title = "T";
  request.initial = std::move(initial);
  return request;
}

// A picker's outcome in one text: the path on OK, else "(cancel)" or "(not created)".
std::string Answered(const PickerOutcome& outcome) {
  switch (outcome.answer) {
    case DialogAnswer::kOk:
      return outcome.path;
    case DialogAnswer::kCancel:
      return outcome.path.empty() ? "(cancel)" : "(cancel with a path)";
    case DialogAnswer::kNotCreated:
      break;
  }
  return outcome.path.empty() ? "(not created)" : "(not created with a path)";
}

TEST(ScriptHostTest, FileIsReadAfreshAndNoLineLeftCancels) {
  zyq::test::ScriptedDialogs dialogs;
  DialogHost& host = CurrentDialogHost();
  // Nothing written yet: cancelled at once.
  EXPECT_EQ(Answered(host.RunPicker(FolderPicker("/start"))), "(cancel)");
  // Lines appended between dialogs are seen by the same host.
  dialogs.Answer({"ok\tpath=/a"});
  EXPECT_EQ(Answered(host.RunPicker(FolderPicker("/start"))), "/a");
  dialogs.Answer({"ok", "cancel\tpath=/c", "ok\tpath=/d"});
  // OK at once keeps the start.
  EXPECT_EQ(Answered(host.RunPicker(FolderPicker("/start"))), "/start");
  EXPECT_EQ(Answered(host.RunPicker(FolderPicker("/start"))), "(cancel)");
  EXPECT_EQ(Answered(host.RunPicker(FolderPicker("/start"))), "/d");
  EXPECT_EQ(Answered(host.RunPicker(FolderPicker("/start"))), "(cancel)");
  EXPECT_EQ(dialogs.Transcript().size(), 6u);
}

TEST(ScriptHostTest, OpenFileOkWithoutPathNeedsARealInitialName) {
  zyq::test::ScriptedDialogs dialogs;
  dialogs.Answer({"ok", "ok", "ok\tindex=1"});
  PickerRequest request;
  request.kind = PickerKind::kOpenFile;
  request.initial = "/certs/*.pfx";
  EXPECT_EQ(Answered(CurrentDialogHost().RunPicker(request)), "(cancel)");
  request.initial = "/certs/a.pfx";
  EXPECT_EQ(Answered(CurrentDialogHost().RunPicker(request)), "/certs/a.pfx");
  // A field a picker does not have is a script error, answered with Cancel.
  EXPECT_EQ(Answered(CurrentDialogHost().RunPicker(request)), "(cancel)");
}

TEST(ScriptHostTest, KeyAccessIsAllowedOnlyByOk) {
  zyq::test::ScriptedDialogs dialogs;
  dialogs.Answer({"ok", "cancel", "yes"});
  EXPECT_TRUE(CurrentDialogHost().ConfirmKeyAccess("container-1"));
  EXPECT_FALSE(CurrentDialogHost().ConfirmKeyAccess("container-1"));
  EXPECT_FALSE(CurrentDialogHost().ConfirmKeyAccess("container-1"));
  EXPECT_FALSE(CurrentDialogHost().ConfirmKeyAccess("container-1"));  // no line left
  const auto lines = dialogs.Transcript();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], R"({"picker": "key-access", "caption": "確認使用私密金鑰", "answer": "ok"})");
  EXPECT_EQ(lines[1],
            R"({"picker": "key-access", "caption": "確認使用私密金鑰", "answer": "cancel"})");
}

TEST(HostSelectionTest, NoneAndUnknownSettingsCreateNoDialog) {
  for (const char* setting : {"none", "bogus", "script"}) {
    auto host = CreateDialogHost(setting);
    ASSERT_NE(host, nullptr);
    EXPECT_FALSE(host->ConfirmKeyAccess("c")) << setting;
    EXPECT_EQ(Answered(host->RunPicker(FolderPicker("/x"))), "(not created)") << setting;
    EXPECT_EQ(host->RunForm(FormDialog{}).answer, DialogAnswer::kNotCreated) << setting;
    EXPECT_EQ(host->RunList(ListDialog{}).answer, DialogAnswer::kNotCreated) << setting;
  }
}

TEST(HostSelectionTest, TestOverrideWinsUntilCleared) {
  struct AlwaysAllow : DialogHost {
    bool ConfirmKeyAccess(const std::string&) override { return true; }
  } allow;
  SetDialogHostForTesting(&allow);
  EXPECT_TRUE(CurrentDialogHost().ConfirmKeyAccess("c"));
  SetDialogHostForTesting(nullptr);
  EXPECT_FALSE(CurrentDialogHost().ConfirmKeyAccess("c"));  // ZYQSEC_UI=none in tests
}

TEST(CutToCharactersTest, CountsCodePointsNotBytes) {
  EXPECT_EQ(CutToCharacters("abcdef", 4), "abcd");
  EXPECT_EQ(CutToCharacters("證券ab", 3), "證券a");
  EXPECT_EQ(CutToCharacters("abc", 0), "abc");
  EXPECT_EQ(CutToCharacters("ab", 5), "ab");
  EXPECT_EQ(CountCharacters("證券ab"), 4);
}

}  // namespace
}  // namespace zyq::platform::common
