// The lifecycle operations meeting the registration records: RegisterPfx registering the file
// that ExportPfxFromIE wrote where it lies, and ChangePfxPasswd carrying a new password into the
// record of the registered file, so that signing in register mode 3 needs no dialog.
#include <gtest/gtest.h>

#include <string>

#include "engine/ResultCodes.h"
#include "engine/SecurityEngine.h"
#include "platform/CryptoKeys.h"
#include "platform/Text.h"
#include "tests/lifecycle/LifecycleTestSupport.h"
#include "tests/support/TestEnvironment.h"
#include "tests/ui/ScriptedDialogs.h"

namespace zyq::test {
namespace {

constexpr int32_t kRemoveAfterExport = 0x1000;
constexpr int32_t kSilentMode = 3;
const char* const kSubject = "CN=TWA123456789 Wang, O=Lifecycle Tests";

class RegistrationFollowTest : public ::testing::Test {
 protected:
  std::string RegisteredPath() {
    EXPECT_EQ(engine.QueryUserInfo(Text("A123456789")), 0);
    return Str(engine.GetRegisterPfxFilePath()) + "/" + Str(engine.GetRegisterPfxFileName());
  }
  // ANSI text, as the engine reports it (the folder's name is Chinese).
  std::string DefaultFolder() { return Str(engine.GetDefaultCertPath()); }
  // The same path as the operating system names it.
  static std::string OsPath(const std::string& ansi) { return platform::AnsiToUtf8(ansi); }

  Authority ca;
  Holder wang = Issue(ca, "TWA123456789 Wang", "critical,digitalSignature", 51);
  SecurityEngine engine;
};

TEST_F(RegistrationFollowTest, ExportedFileIsRegisteredInPlaceThenCopied) {
  AddToPersonalStore(wang, platform::kCryptExportable);
  const std::string folder = NewWorkFolder() + "/exported";
  ASSERT_EQ(
      engine.ExportPfxFromIE(Text(kSubject), Text(folder), Text("pass1234"), kRemoveAfterExport, 0),
      0);
  EXPECT_EQ(Str(engine.GetExportedPfxFilePath()), folder);
  const std::string name = Str(engine.GetExportedPfxFileName());
  EXPECT_EQ(name, "A123456789.pfx");
  EXPECT_TRUE(PersonalStore().empty());

  // The reported folder and name: the written file itself becomes the registered one.
  EXPECT_EQ(engine.RegisterPfx(Text(folder), Text(name), Text("pass1234"), kSilentMode, 0, 0), 0);
  EXPECT_EQ(RegisteredPath(), folder + "/A123456789.pfx");
  EXPECT_EQ(engine.GetRegisterUserMode(), kSilentMode);
  EXPECT_TRUE(FileBytes(OsPath(DefaultFolder() + "/" + name)).empty());

  // The export is used up: the next registration copies into the default folder.
  EXPECT_EQ(engine.RegisterPfx(Text(folder), Text(name), Text("pass1234"), kSilentMode, 0, 0), 0);
  EXPECT_EQ(RegisteredPath(), DefaultFolder() + "/A123456789.pfx");
  const std::string copied = FileBytes(OsPath(DefaultFolder() + "/A123456789.pfx"));
  EXPECT_FALSE(copied.empty());
  EXPECT_TRUE(copied == FileBytes(folder + "/" + name));
}

TEST_F(RegistrationFollowTest, NewPasswordOfTheRegisteredFileFollowsIntoTheRecord) {
  const std::string folder = NewWorkFolder();
  ASSERT_TRUE(
      WriteFile(folder + "/u.pfx", ToString(MakePfx({{wang.cert, &wang.key}}, "old-pass", false))));
  ASSERT_EQ(engine.RegisterPfx(Text(folder), Text("u.pfx"), Text("old-pass"), kSilentMode, 0, 0),
            0);
  const std::string registered = RegisteredPath();
  ASSERT_EQ(registered, DefaultFolder() + "/A123456789.pfx");
  // The record names the file with other letter case: it still counts as the registered file.
  ASSERT_EQ(engine.RegWriteHKCUStr(Text("Software\\ZYQSecurities\\A123456789\\PfxFileName"),
                                   Text(platform::AnsiUpperCase(registered))),
            0);

  // Changing another copy of the file leaves the record alone.
  EXPECT_EQ(
      engine.ChangePfxPasswd(Text(folder), Text("u.pfx"), Text("old-pass"), Text("other-pass"), 0),
      0);
  EXPECT_EQ(Str(engine.RegReadHKCU(Text("Software\\ZYQSecurities\\A123456789\\PfxFileName"))),
            platform::AnsiUpperCase(registered));

  EXPECT_EQ(engine.ChangePfxPasswd(Text(DefaultFolder()), Text("A123456789.pfx"), Text("old-pass"),
                                   Text("new-pass"), 0),
            0);
  EXPECT_TRUE(ReadPfxWithOpenSsl(OsPath(registered), "new-pass").opened);
  EXPECT_EQ(RegisteredPath(), registered);
  EXPECT_EQ(engine.GetRegisterUserMode(), kSilentMode);

  // Mode 3 signs with the stored password: no dialog may be needed.
  ScriptedDialogs dialogs;
  const std::string signature =
      Str(engine.SignPkcs7(Text("A123456789"), Text("BUY 2330 x 1000"), 0, 0));
  EXPECT_EQ(engine.GetErrorCode(), 0);
  EXPECT_FALSE(signature.empty());
  EXPECT_TRUE(dialogs.Transcript().empty());
}

}  // namespace
}  // namespace zyq::test
