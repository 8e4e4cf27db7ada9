// How a signature finds the user's certificate: the registration record, the register modes,
// the engine's signing cache and the sign dialog (answered by the script host and checked in
// its transcript).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/SecurityEngine.h"
#include "pfx/RegistrationRecord.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "tests/registration/PfxFiles.h"
#include "tests/support/ReadOnlyRegistry.h"
#include "tests/support/TestEnvironment.h"
#include "tests/ui/MachinePaths.h"
#include "tests/ui/ScriptedDialogs.h"

namespace zyq {
namespace {

using platform::Bstr;
using platform::Utf8ToAnsi;
using test::U16;

Bstr W(const std::string& utf8) {
  return Bstr::FromView(U16(utf8));
}

std::filesystem::path FsPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The bytes of a file named in UTF-8 (the default folder's name is Chinese).
std::string ReadNamed(const std::string& utf8) {
  std::ifstream in(FsPath(utf8), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The copy in the default folder, joined as the engine joins stored paths.
std::string DefaultCopy(const std::string& fileName) {
  return platform::JoinPath(test::DefaultCertFolderUtf8(), fileName);
}

class SigningFlowsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(FsPath(test::DefaultCertFolderUtf8()), ec);
  }
  // A signature that should succeed; the text is the PKCS#7 message.
  std::string Sign(const std::string& id) {
    const Bstr text = engine.SignPkcs7(W(id), W("order 1"), 0, 0);
    return platform::WideToUtf8(text.View());
  }
  SecurityEngine engine;
  test::ScriptedDialogs dialogs;
};

TEST_F(SigningFlowsTest, FirstSignatureAsksOnceAndRegistersSilently) {
  const test::UserPfx pfx = test::MakeUserPfx({.commonName = "TWA223456789 Wang"});
  dialogs.Answer({"ok\tbrowse=" + pfx.path + "\tpassword=pass1234"});
  EXPECT_FALSE(Sign("A223456789").empty());
  EXPECT_EQ(engine.GetErrorCode(), 0);
  auto lines = dialogs.Transcript();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(R"("template": 202, "caption": "請輸入簽章的憑證檔案資訊", )"
                          R"("path_box": "", "browse_enabled": true)"),
            std::string::npos)
      << lines[0];
  EXPECT_EQ(dialogs.TranscriptText().find("pass1234"), std::string::npos);

  // The record has mode 3 and points at the copy in the default folder.
  RegistrationRecord record;
  ASSERT_EQ(ReadRegistrationRecord("A223456789", &record), 0);
  EXPECT_EQ(record.mode, 3);
  const std::string copy = DefaultCopy("A223456789.pfx");
  EXPECT_EQ(record.path, Utf8ToAnsi(copy));
  EXPECT_EQ(ReadNamed(copy), test::ReadFile(pfx.path));

  // Later signatures, by this engine or a new one, ask nothing.
  EXPECT_FALSE(Sign("A223456789").empty());
  SecurityEngine later;
  EXPECT_FALSE(platform::WideToUtf8(later.SignPkcs1(W("a223456789"), W("x"), 0, 0).View()).empty());
  EXPECT_EQ(later.GetErrorCode(), 0);
  EXPECT_EQ(dialogs.Transcript().size(), 1u);
}

TEST_F(SigningFlowsTest, SilentModeWithAStalePasswordFailsWithoutAsking) {
  const test::UserPfx pfx = test::MakeUserPfx({.commonName = "A323456789"});
  ASSERT_EQ(engine.RegisterPfx(W(pfx.folder), W(pfx.fileName), W("pass1234"), 3, 0, 0), 0);
  RegistrationRecord record;
  ASSERT_EQ(ReadRegistrationRecord("A323456789", &record), 0);
  // The file's password changed behind the record's back.
  ByteBuffer stale;
  ASSERT_TRUE(EncryptRecordPassword("A323456789", "old-pass", &stale));
  ASSERT_EQ(WriteRegistrationRecord(record.path, stale.span(), "A323456789", 3), 0);
  EXPECT_TRUE(Sign("A323456789").empty());
  EXPECT_EQ(engine.GetErrorCode(), 5208);
  // No password stored at all: the same.
  ASSERT_EQ(WriteRegistrationRecord(record.path, {}, "A323456789", 3), 0);
  EXPECT_TRUE(Sign("a323456789").empty());
  EXPECT_EQ(engine.GetErrorCode(), 5208);
  EXPECT_TRUE(dialogs.Transcript().empty());
  // Put right again, the lower-case ID signs silently.
  ByteBuffer good;
  ASSERT_TRUE(EncryptRecordPassword("A323456789", "pass1234", &good));
  ASSERT_EQ(WriteRegistrationRecord(record.path, good.span(), "A323456789", 3), 0);
  EXPECT_FALSE(Sign("a323456789").empty());
  EXPECT_TRUE(dialogs.Transcript().empty());
}

TEST_F(SigningFlowsTest, ModeTwoAsksOncePerEngineAndAgainAfterAnotherId) {
  const test::UserPfx pfx = test::MakeUserPfx({.commonName = "A423456789"});
  const test::UserPfx other = test::MakeUserPfx({.commonName = "B423456789"});
  ASSERT_EQ(engine.RegisterPfx(W(pfx.folder), W(pfx.fileName), W("pass1234"), 2, 0, 0), 0);
  ASSERT_EQ(engine.RegisterPfx(W(other.folder), W(other.fileName), W("pass1234"), 3, 0, 0), 0);
  dialogs.Answer({"ok\tpassword=pass1234", "ok\tpassword=pass1234"});
  EXPECT_FALSE(Sign("A423456789").empty());
  auto lines = dialogs.Transcript();
  ASSERT_EQ(lines.size(), 1u);
  // The registered file in the default folder: Browse is locked, the password box starts empty.
  EXPECT_NE(lines[0].find("\"path_box\": \"" + test::InJson(DefaultCopy("A423456789.pfx")) +
                          "\", \"browse_enabled\": false"),
            std::string::npos)
      << lines[0];
  EXPECT_FALSE(Sign("A423456789").empty());
  EXPECT_EQ(dialogs.Transcript().size(), 1u);
  EXPECT_FALSE(Sign("B423456789").empty());  // silent
  EXPECT_FALSE(Sign("A423456789").empty());  // asks again
  EXPECT_EQ(dialogs.Transcript().size(), 2u);
  // A new engine asks again.
  SecurityEngine next;
  EXPECT_TRUE(platform::WideToUtf8(next.SignPkcs7(W("A423456789"), W("x"), 0, 0).View()).empty());
  EXPECT_EQ(next.GetErrorCode(), 5070);  // no answer left: cancelled
  EXPECT_EQ(dialogs.Transcript().size(), 3u);
}

TEST_F(SigningFlowsTest, DeletedFileIsChosenAgainAndKeepsTheMode) {
  const test::UserPfx pfx = test::MakeUserPfx({.commonName = "A523456789"});
  ASSERT_EQ(engine.RegisterPfx(W(pfx.folder), W(pfx.fileName), W("pass1234"), 2, 0, 0), 0);
  std::filesystem::remove(FsPath(DefaultCopy("A523456789.pfx")));
  dialogs.Answer({"ok\tbrowse=" + pfx.path + "\tpassword=pass1234"});
  EXPECT_FALSE(Sign("A523456789").empty());
  EXPECT_EQ(engine.GetErrorCode(), 0);
  auto lines = dialogs.Transcript();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("\"path_box\": \"\", \"browse_enabled\": true"), std::string::npos);
  RegistrationRecord record;
  ASSERT_EQ(ReadRegistrationRecord("A523456789", &record), 0);
  EXPECT_EQ(record.mode, 2);
  EXPECT_EQ(ReadNamed(DefaultCopy("A523456789.pfx")), test::ReadFile(pfx.path));
}

TEST_F(SigningFlowsTest, AnsweringWithAnotherUsersFileGives5014) {
  const test::UserPfx wrong = test::MakeUserPfx({.commonName = "Q111111111"});
  dialogs.Answer({"ok\tbrowse=" + wrong.path + "\tpassword=pass1234",
                  "ok\tbrowse=" + wrong.path + "\tpassword=bad-password"});
  EXPECT_TRUE(Sign("A623456789").empty());
  EXPECT_EQ(engine.GetErrorCode(), 5014);
  RegistrationRecord record;
  EXPECT_EQ(ReadRegistrationRecord("A623456789", &record), 5018);
  // The failure emptied the cache: the next signature asks again (and a wrong password is 5208).
  EXPECT_TRUE(Sign("A623456789").empty());
  EXPECT_EQ(engine.GetErrorCode(), 5208);
  EXPECT_EQ(dialogs.Transcript().size(), 2u);
}

TEST_F(SigningFlowsTest, BadArgumentsAndCancelTouchNothing) {
  EXPECT_TRUE(engine.SignPkcs7(W(""), W("x"), 0, 0).View().empty());
  EXPECT_EQ(engine.GetErrorCode(), 5005);
  EXPECT_TRUE(engine.SignPkcs1(W("A723456789"), W(""), 0, 0).View().empty());
  EXPECT_EQ(engine.GetErrorCode(), 5005);
  EXPECT_TRUE(engine.SignPkcs1(W("A723456789"), Bstr(), 0, 0).View().empty());
  EXPECT_EQ(engine.GetErrorCode(), 5005);
  EXPECT_TRUE(dialogs.Transcript().empty());

  // On Windows the registry is the Wine prefix's, where an earlier run left this user's record.
  platform::DefaultRegistry().DeleteKeyTree(
      platform::RegistryKey::Root(platform::RegistryHive::kCurrentUser),
      std::string(kRegistrationRootKey) + "A723456789");
  const test::UserPfx pfx = test::MakeUserPfx({.commonName = "A723456789"});
  dialogs.Answer({"cancel", "ok\tbrowse=" + pfx.path + "\tpassword=pass1234"});
  EXPECT_TRUE(Sign("A723456789").empty());
  EXPECT_EQ(engine.GetErrorCode(), 5070);
  RegistrationRecord record;
  EXPECT_EQ(ReadRegistrationRecord("A723456789", &record), 5018);
  EXPECT_FALSE(Sign("A723456789").empty());
  EXPECT_EQ(dialogs.Transcript().size(), 2u);
}

TEST_F(SigningFlowsTest, ModeOneAsksEveryTime) {
  const test::UserPfx pfx = test::MakeUserPfx({.commonName = "A823456789"});
  ASSERT_EQ(engine.RegisterPfx(W(pfx.folder), W(pfx.fileName), W("pass1234"), 1, 0, 0), 0);
  dialogs.Answer({"ok\tpassword=pass1234", "ok\tpassword=pass1234"});
  EXPECT_FALSE(Sign("A823456789").empty());
  EXPECT_FALSE(Sign("A823456789").empty());
  EXPECT_EQ(dialogs.Transcript().size(), 2u);
}

// A registry whose writes fail once the file has been chosen: the signature is still made, and
// the failed registration is reported.
TEST_F(SigningFlowsTest, FailedRegistrationStillSigns) {
  const test::UserPfx pfx = test::MakeUserPfx({.commonName = "A923456789"});
  test::ReadOnlyRegistry readOnly(platform::DefaultRegistry());
  platform::SetRegistryForTesting(&readOnly);
  dialogs.Answer({"ok\tbrowse=" + pfx.path + "\tpassword=pass1234"});
  const std::string signature =
      platform::WideToUtf8(engine.SignPkcs1(W("A923456789"), W("x"), 0, 0).View());
  platform::SetRegistryForTesting(nullptr);
  EXPECT_EQ(signature.size(), 256u);
  EXPECT_EQ(engine.GetErrorCode(), 5906);
}

}  // namespace
}  // namespace zyq
