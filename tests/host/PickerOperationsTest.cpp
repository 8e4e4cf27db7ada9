// HashFile and SelectLocalFolder, whose missing inputs come from the dialog host.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "engine/SecurityEngine.h"
#include "platform/Text.h"
#include "tests/support/TestEnvironment.h"
#include "tests/ui/ScriptedDialogs.h"

namespace zyq {
namespace {

using platform::Bstr;

std::u16string HashFile(SecurityEngine& engine, const std::string& utf8Path, int32_t flags) {
  Bstr result = engine.HashFile(Bstr::FromView(platform::Utf8ToWide(utf8Path)), flags);
  return std::u16string(result.View());
}

TEST(PickerOperationsTest, HashFileCodes) {
  SecurityEngine engine;
  test::ScriptedDialogs dialogs;  // records any dialog shown
  const std::string dir = test::TestRoot() + "/hash-codes";
  ::mkdir(dir.c_str(), 0700);
  ASSERT_TRUE(test::WriteFile(dir + "/證券.txt", "abc"));
  ASSERT_TRUE(test::WriteFile(dir + "/empty", ""));

  EXPECT_EQ(HashFile(engine, dir + "/證券.txt", 0x12), u"A9993E364706816ABA3E25717850C26C9CD0D89D");
  EXPECT_EQ(engine.GetErrorCode(), 0);
  EXPECT_EQ(HashFile(engine, dir + "/證券.txt", 1), u"900150983CD24FB0D6963F7D28E17F72");

  EXPECT_EQ(HashFile(engine, dir + "/missing", 2), u"");
  EXPECT_EQ(engine.GetErrorCode(), 5902);
  EXPECT_EQ(HashFile(engine, dir + "/empty", 2), u"");  // not the digest of the empty message
  EXPECT_EQ(engine.GetErrorCode(), 1002);
  EXPECT_EQ(HashFile(engine, dir, 2), u"");  // a folder has no bytes to hash
  EXPECT_EQ(engine.GetErrorCode(), 1002);
  EXPECT_EQ(engine.GetCapiErrorCode(), 0);
  EXPECT_TRUE(dialogs.Transcript().empty()) << "a path was given: no dialog";
}

TEST(PickerOperationsTest, HashFileAsksForTheFileWhenTheNameIsEmpty) {
  SecurityEngine engine;
  test::ScriptedDialogs dialogs;
  const std::string file = test::TestRoot() + "/picked.bin";
  ASSERT_TRUE(test::WriteFile(file, "abc"));
  dialogs.Answer({"ok\tpath=" + file, "cancel", "ok\tpath=" + test::TestRoot() + "/nothing"});

  EXPECT_EQ(std::u16string(engine.HashFile(Bstr::FromWide(u""), 3).View()),
            u"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
  EXPECT_EQ(engine.GetErrorCode(), 0);
  EXPECT_EQ(std::u16string(engine.HashFile(Bstr(), 3).View()), u"");
  EXPECT_EQ(engine.GetErrorCode(), 5070);
  EXPECT_EQ(std::u16string(engine.HashFile(Bstr(), 3).View()), u"");
  EXPECT_EQ(engine.GetErrorCode(), 5902);
  const auto lines = dialogs.Transcript();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[0].find(R"("picker": "open-file", "caption": "請選擇檔案")"), std::string::npos);
}

TEST(PickerOperationsTest, SelectLocalFolderReturnsTheChoiceAndReportsNothing) {
  SecurityEngine engine;
  test::ScriptedDialogs dialogs;
  dialogs.Answer({"ok\tpath=/data/證券", "cancel"});
  engine.Hash(Bstr(), 0);  // leaves 5005
  EXPECT_EQ(std::u16string(engine.SelectLocalFolder(Bstr::FromWide(u"/start"), Bstr()).View()),
            u"/data/證券");
  EXPECT_EQ(std::u16string(
                engine.SelectLocalFolder(Bstr::FromWide(u"/start"), Bstr::FromWide(u"選")).View()),
            u"");
  EXPECT_EQ(engine.GetErrorCode(), 5005);
  const auto lines = dialogs.Transcript();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], R"({"picker": "folder", "caption": "請選擇檔案儲存路徑 :", )"
                      R"("initial": "/start", "answer": "ok"})");
  EXPECT_EQ(lines[1],
            R"({"picker": "folder", "caption": "選", "initial": "/start", "answer": "cancel"})");
}

}  // namespace
}  // namespace zyq
