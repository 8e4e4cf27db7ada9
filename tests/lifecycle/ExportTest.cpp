// ExportPfxFromIE: a certificate of "MY" written with its private key to a PKCS#12 file that an
// independent reader opens, the refusal of a key that may not leave its container, the removal
// from "MY" after the file is written, and the dialogs that fill a missing folder or password.
#include <gtest/gtest.h>

#include <string>

#include "engine/ResultCodes.h"
#include "engine/SecurityEngine.h"
#include "platform/CryptoKeys.h"
#include "platform/SystemErrors.h"
#include "tests/lifecycle/LifecycleTestSupport.h"
#include "tests/support/TestEnvironment.h"
#include "tests/ui/ScriptedDialogs.h"

namespace zyq::test {
namespace {

constexpr int32_t kRemoveAfterExport = 0x1000;

class ExportTest : public ::testing::Test {
 protected:
  Authority ca;
  SecurityEngine engine;
};

TEST_F(ExportTest, WrittenFileHoldsTheChosenCertificateAndItsKey) {
  const Holder wang = Issue(ca, "TWA123456789 Wang", "critical,digitalSignature", 11);
  const Holder lee = Issue(ca, "B987654321 Lee", "critical,digitalSignature", 12);
  AddToPersonalStore(wang, platform::kCryptExportable);
  AddToPersonalStore(lee, platform::kCryptExportable);
  const std::string folder = NewWorkFolder() + "/out";  // made by the export

  EXPECT_EQ(engine.ExportPfxFromIE(Text("CN=TWA123456789 Wang, O=Lifecycle Tests"), Text(folder),
                                   Text("pass1234"), 0, 0x80),
            0);
  EXPECT_EQ(engine.GetCapiErrorCode(), 0);

  // The file is named after the user ID of the certificate (the CN without "TW", 10 bytes).
  const OpenSslPfx read = ReadPfxWithOpenSsl(folder + "/A123456789.pfx", "pass1234");
  ASSERT_TRUE(read.opened);
  ASSERT_EQ(read.certs.size(), 1u);
  EXPECT_EQ(read.certs[0], wang.cert);
  ASSERT_NE(read.key, nullptr);
  EXPECT_EQ(KeyModulus(read.key.get()), KeyModulus(OpenSslKey(wang.key)));
  EXPECT_FALSE(ReadPfxWithOpenSsl(folder + "/A123456789.pfx", "wrong").opened);
  // Without 0x1000 the certificate stays in "MY".
  EXPECT_EQ(PersonalStore().size(), 2u);
}

TEST_F(ExportTest, KeyThatMayNotLeaveItsContainerFailsBeforeAnyDialog) {
  const Holder wang = Issue(ca, "TWA123456789 Wang", "critical,digitalSignature", 11);
  AddToPersonalStore(wang, 0);
  ScriptedDialogs dialogs;
  dialogs.Answer({"ok\tbrowse=" + NewWorkFolder() + "\tpassword=pass1234"});

  // Folder and password missing: the file dialog would be next, but the key test comes first.
  EXPECT_EQ(engine.ExportPfxFromIE(Text("CN=TWA123456789 Wang, O=Lifecycle Tests"), Text(""),
                                   Text(""), kRemoveAfterExport, 0),
            result::kKeyNotExportable);
  EXPECT_EQ(static_cast<platform::SysError>(engine.GetCapiErrorCode()), platform::kNteBadKeyState);
  EXPECT_TRUE(dialogs.Transcript().empty());
  EXPECT_EQ(PersonalStore().size(), 1u);
}

TEST_F(ExportTest, RemovalFromTheStoreComesOnlyAfterTheFileIsWritten) {
  const Holder wang = Issue(ca, "TWA123456789 Wang", "critical,digitalSignature", 11);
  AddToPersonalStore(wang, platform::kCryptExportable);
  const std::string work = NewWorkFolder();
  ASSERT_TRUE(WriteFile(work + "/blocker", "a file where a folder should be"));

  // The folder cannot be made; the user cancels the folder dialog: nothing is removed.
  {
    ScriptedDialogs dialogs;
    dialogs.Answer({"cancel"});
    EXPECT_EQ(engine.ExportPfxFromIE(Text("CN=TWA123456789 Wang, O=Lifecycle Tests"),
                                     Text(work + "/blocker/certs"), Text("pass1234"),
                                     kRemoveAfterExport, 0),
              result::kCancelled);
    const std::vector<std::string> transcript = dialogs.Transcript();
    ASSERT_EQ(transcript.size(), 1u);
    EXPECT_NE(transcript[0].find("\"template\": 204"), std::string::npos) << transcript[0];
    EXPECT_EQ(PersonalStore().size(), 1u);
  }

  // The user picks another folder: the file is written there, then the certificate leaves "MY"
  // while its key container stays.
  {
    ScriptedDialogs dialogs;
    dialogs.Answer({"ok\tbrowse=" + work + "/chosen"});
    EXPECT_EQ(engine.ExportPfxFromIE(Text("CN=TWA123456789 Wang, O=Lifecycle Tests"),
                                     Text(work + "/blocker/certs"), Text("pass1234"),
                                     kRemoveAfterExport, 0),
              0);
  }
  const OpenSslPfx read = ReadPfxWithOpenSsl(work + "/chosen/A123456789.pfx", "pass1234");
  ASSERT_TRUE(read.opened);
  EXPECT_EQ(read.certs.size(), 1u);
  EXPECT_TRUE(PersonalStore().empty());
  // A new export finds nothing to export.
  EXPECT_EQ(engine.ExportPfxFromIE(Text("CN=TWA123456789 Wang, O=Lifecycle Tests"), Text(work),
                                   Text("pass1234"), 0, 0),
            result::kCertNotFound);
}

TEST_F(ExportTest, FileDialogFillsAMissingFolderAndPassword) {
  const Holder wang = Issue(ca, "TWA123456789 Wang", "critical,digitalSignature", 11);
  AddToPersonalStore(wang, platform::kCryptExportable);
  const std::string folder = NewWorkFolder();
  ScriptedDialogs dialogs;
  dialogs.Answer({"ok\tbrowse=" + folder + "\tpassword=typed-secret"});

  EXPECT_EQ(engine.ExportPfxFromIE(Text("CN=TWA123456789 Wang, O=Lifecycle Tests"), Text(""),
                                   Text(""), 0, 0),
            0);
  const std::vector<std::string> transcript = dialogs.Transcript();
  ASSERT_EQ(transcript.size(), 1u);
  EXPECT_NE(transcript[0].find("\"template\": 202"), std::string::npos) << transcript[0];
  EXPECT_EQ(transcript[0].find("typed-secret"), std::string::npos);
  // The file is protected with the password typed in the dialog.
  EXPECT_TRUE(ReadPfxWithOpenSsl(folder + "/A123456789.pfx", "typed-secret").opened);
}

TEST_F(ExportTest, UserProtectedKeyIsExportedOnlyWithTheUsersConsent) {
  const Holder wang = Issue(ca, "TWA123456789 Wang", "critical,digitalSignature", 11);
  AddToPersonalStore(wang, platform::kCryptExportable | platform::kCryptUserProtected);
  const std::string folder = NewWorkFolder();
  ScriptedDialogs dialogs;
  dialogs.Answer({"cancel"});
  EXPECT_EQ(engine.ExportPfxFromIE(Text("CN=TWA123456789 Wang, O=Lifecycle Tests"), Text(folder),
                                   Text("pass1234"), 0, 0),
            result::kCancelled);
  EXPECT_TRUE(FileBytes(folder + "/A123456789.pfx").empty());

  dialogs.Answer({"ok"});
  EXPECT_EQ(engine.ExportPfxFromIE(Text("CN=TWA123456789 Wang, O=Lifecycle Tests"), Text(folder),
                                   Text("pass1234"), 0, 0),
            0);
  EXPECT_TRUE(ReadPfxWithOpenSsl(folder + "/A123456789.pfx", "pass1234").opened);
  const std::string transcript = dialogs.TranscriptText();
  EXPECT_NE(transcript.find("key-access"), std::string::npos) << transcript;
}

}  // namespace
}  // namespace zyq::test
