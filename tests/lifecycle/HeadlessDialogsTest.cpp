// Every operation that asks the user, in a process where no dialog can be created
// (ZYQSEC_UI=none) and in one whose script has no answer left. Without a dialog the file dialogs
// and pickers give 5002 and the certificate list 5010, so a caller can tell a headless process
// from a person's Cancel, which stays 5070. Each operation reaches its dialog: the transcript
// gets exactly one line for it, answered "not-created" or "cancel".
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/SecurityEngine.h"
#include "platform/CryptoKeys.h"
#include "platform/Text.h"
#include "tests/lifecycle/LifecycleTestSupport.h"
#include "tests/support/TestEnvironment.h"
#include "tests/ui/ScriptedDialogs.h"

namespace zyq::test {
namespace {

constexpr int32_t kContains = 0x8;
constexpr int32_t kAlwaysAsk = 1;
constexpr const char* kSubject = "CN=TWH123456789 Headless";

struct AskingOperation {
  const char* name;
  std::function<void(SecurityEngine&, const std::string& work)> run;
  bool isList;  // the certificate list rather than a file dialog or picker
};

// Folder and password missing, or the one matching certificate to be chosen from the list.
const std::vector<AskingOperation>& Operations() {
  static const std::vector<AskingOperation> operations = {
      {"HashFile without a name",
       [](SecurityEngine& e, const std::string&) { e.HashFile(Text(""), 0); }, false},
      {"RegisterPfx without file information",
       [](SecurityEngine& e, const std::string&) {
         e.RegisterPfx(Text(""), Text(""), Text(""), 3, 0, 0);
       },
       false},
      {"ImportPfxToIE without file information",
       [](SecurityEngine& e, const std::string&) {
         e.ImportPfxToIE(Text(""), Text(""), Text(""), 0, 0);
       },
       false},
      {"ChangePfxPasswd without file information",
       [](SecurityEngine& e, const std::string&) {
         e.ChangePfxPasswd(Text(""), Text(""), Text(""), Text(""), 0);
       },
       false},
      {"ExportMobileFromPfx without file information",
       [](SecurityEngine& e, const std::string&) {
         e.ExportMobileFromPfx(Text(""), Text(""), Text(""), 0, 0);
       },
       false},
      {"SignPkcs7 for a user not registered",
       [](SecurityEngine& e, const std::string&) {
         e.SignPkcs7(Text("H000000001"), Text("x"), 0, 0);
       },
       false},
      {"ExportPfxFromIE without folder and password",
       [](SecurityEngine& e, const std::string&) {
         e.ExportPfxFromIE(Text(kSubject), Text(""), Text(""), kContains, 0);
       },
       false},
      {"ExportPfxFromIE into a folder that cannot be made",
       [](SecurityEngine& e, const std::string& work) {
         e.ExportPfxFromIE(Text(kSubject), Text(work + "/blocker/certs"), Text("pass1234"),
                           kContains, 0);
       },
       false},
      {"SelectCertFromIE always asking",
       [](SecurityEngine& e, const std::string&) {
         e.SelectCertFromIE(Text(kSubject), kContains | kAlwaysAsk, 0);
       },
       true},
      {"ExportPfxFromIE always asking",
       [](SecurityEngine& e, const std::string& work) {
         e.ExportPfxFromIE(Text(kSubject), Text(work), Text("pass1234"), kContains | kAlwaysAsk, 0);
       },
       true},
      {"ExportMobileFromIE always asking",
       [](SecurityEngine& e, const std::string&) {
         e.ExportMobileFromIE(Text(kSubject), Text("pw"), kContains | kAlwaysAsk, 0);
       },
       true},
  };
  return operations;
}

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(path));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class HeadlessDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AddToPersonalStore(Issue(ca, "TWH123456789 Headless", "critical,digitalSignature", 31),
                       platform::kCryptExportable);
    work = NewWorkFolder();
    ASSERT_TRUE(WriteFile(work + "/blocker", "a file where a folder should be"));
  }

  // Runs every operation; each must end with its code and message and add one transcript line
  // with the answer given.
  void ExpectEveryOperation(const std::string& transcript, int32_t fileCode, int32_t listCode,
                            const std::string& answer) {
    const std::map<int32_t, std::string> messages = {
        {5002, "配置記憶體發生錯誤(5002)"},
        {5010, "無法在憑證區中,找到指定憑證(5010)"},
        {5070, "使用者按下\"取消\"按鈕(5070)"},
    };
    for (const AskingOperation& operation : Operations()) {
      SCOPED_TRACE(operation.name);
      const size_t before = Lines(transcript).size();
      operation.run(engine, work);
      const int32_t expected = operation.isList ? listCode : fileCode;
      EXPECT_EQ(engine.GetErrorCode(), expected);
      EXPECT_EQ(platform::WideToUtf8(engine.GetErrorMsg().View()), messages.at(expected));
      const std::vector<std::string> lines = Lines(transcript);
      ASSERT_EQ(lines.size(), before + 1) << "the operation did not reach exactly one dialog";
      EXPECT_NE(lines.back().find("\"answer\": \"" + answer + "\""), std::string::npos)
          << lines.back();
    }
  }

  Authority ca;
  SecurityEngine engine;
  std::string work;
};

TEST_F(HeadlessDialogsTest, WithoutAnyDialogFileDialogsGive5002AndTheList5010) {
  const std::string transcript = work + "/none.jsonl";
  setenv("ZYQSEC_UI", "none", 1);
  setenv("ZYQSEC_UI_LOG", transcript.c_str(), 1);
  ExpectEveryOperation(transcript, 5002, 5010, "not-created");
  unsetenv("ZYQSEC_UI_LOG");
}

TEST_F(HeadlessDialogsTest, AScriptWithoutAnswersCancelsEveryDialog) {
  ScriptedDialogs dialogs;
  ExpectEveryOperation(dialogs.transcriptPath(), 5070, 5070, "cancel");
}

}  // namespace
}  // namespace zyq::test
