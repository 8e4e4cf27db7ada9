// RegisterPfx, QueryUserInfo, UpdateRegisterMode and the path getters on files made by openssl,
// with dialogs answered by the script host.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "codec/ByteBuffer.h"
#include "engine/SecurityEngine.h"
#include "pfx/RegistrationRecord.h"
#include "platform/Text.h"
#include "tests/registration/PfxFiles.h"
#include "tests/support/TestEnvironment.h"
#include "tests/ui/ScriptedDialogs.h"

namespace zyq {
namespace {

using platform::Bstr;
using platform::Utf8ToAnsi;
using test::U16;

// ExportPfxFromIE: remove the certificate from "MY" once the file is written.
constexpr int32_t kRemoveAfterExport = 0x1000;

Bstr W(const std::string& utf8) {
  return Bstr::FromView(U16(utf8));
}

std::string Utf8(const Bstr& text) {
  return platform::WideToUtf8(text.View());
}

// The returned certificate's DER, from its Base64 text.
std::string ReturnedDer(SecurityEngine& engine) {
  ByteBuffer der;
  if (!der.DecodeBase64(engine.GetRtnCert().ToAnsi().c_str())) return std::string();
  return std::string(der.view());
}

std::string CertDer(const test::UserPfx& pfx) {
  std::string der;
  test::RunCommand("openssl x509 -in " + pfx.certPem + " -outform DER", &der);
  return der;
}

std::filesystem::path FsPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

class RegistrationTest : public ::testing::Test {
 protected:
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(FsPath(test::DefaultCertFolderUtf8()), ec);
  }
  SecurityEngine engine;
};

TEST_F(RegistrationTest, RegisterPfxCopiesTheFileIntoTheDefaultFolder) {
  const test::UserPfx pfx = test::MakeUserPfx({.commonName = "TWA123456789 Wang"});
  ASSERT_FALSE(pfx.path.empty());
  ASSERT_EQ(engine.RegisterPfx(W(pfx.folder), W(pfx.fileName), W("pass1234"), 3, 0, 0x80), 0);
  EXPECT_EQ(engine.GetErrorCode(), 0);
  EXPECT_EQ(Utf8(engine.GetRegisterPfxFilePath()), test::DefaultCertFolderUtf8());
  EXPECT_EQ(Utf8(engine.GetRegisterPfxFileName()), "A123456789.pfx");

  // The copy holds the same bytes, and nothing else (no temporary file) is left in the folder.
  const std::string copy = test::DefaultCertFolderUtf8() + "/A123456789.pfx";
  EXPECT_EQ(test::ReadFile(copy), test::ReadFile(pfx.path));
  int entries = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(FsPath(test::DefaultCertFolderUtf8()))) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 1);

  RegistrationRecord record;
  ASSERT_EQ(ReadRegistrationRecord("A123456789", &record), 0);
  EXPECT_EQ(record.path, Utf8ToAnsi(copy));
  EXPECT_EQ(record.mode, 3);
  SecretString password;
  ASSERT_TRUE(DecryptRecordPassword("A123456789", record.password, &password));
  EXPECT_EQ(password.str(), "pass1234");

  // QueryUserInfo with the ID in lower case reads the same record and returns the certificate.
  ASSERT_EQ(engine.QueryUserInfo(W("a123456789")), 0);
  EXPECT_EQ(engine.GetRegisterUserMode(), 3);
  EXPECT_EQ(Utf8(engine.GetRegisterPfxFilePath()), test::DefaultCertFolderUtf8());
  EXPECT_EQ(Utf8(engine.GetRegisterPfxFileName()), "A123456789.pfx");
  EXPECT_EQ(ReturnedDer(engine), CertDer(pfx));

  // Once the registered file is gone the record is still reported, with 5902.
  std::filesystem::remove(FsPath(copy));
  EXPECT_EQ(engine.QueryUserInfo(W("A123456789")), 5902);
  EXPECT_EQ(Utf8(engine.GetRegisterPfxFilePath()), test::DefaultCertFolderUtf8());
  EXPECT_EQ(Utf8(engine.GetRegisterPfxFileName()), "A123456789.pfx");
  EXPECT_EQ(engine.GetRegisterUserMode(), 3);
}

TEST_F(RegistrationTest, ModeZeroWritesNoModeAndKeyUsageIsChecked) {
  const test::UserPfx pfx = test::MakeUserPfx({.commonName = "B123456789"});
  ASSERT_EQ(engine.RegisterPfx(W(pfx.folder), W(pfx.fileName), W("pass1234"), 0, 0, 0), 0);
  ASSERT_EQ(engine.QueryUserInfo(W("B123456789")), 0);
  EXPECT_EQ(engine.GetRegisterUserMode(), -1);

  // Only an encryption certificate: the signing usage is missing, nothing is registered.
  const test::UserPfx encryption =
      test::MakeUserPfx({.commonName = "C123456789", .keyUsage = "keyEncipherment"});
  EXPECT_EQ(
      engine.RegisterPfx(W(encryption.folder), W(encryption.fileName), W("pass1234"), 3, 0, 0x80),
      5017);
  RegistrationRecord record;
  EXPECT_EQ(ReadRegistrationRecord("C123456789", &record), 5018);
  EXPECT_FALSE(std::filesystem::exists(FsPath(test::DefaultCertFolderUtf8() + "/C123456789.pfx")));
  // A certificate without a key usage extension fails any mask too.
  const test::UserPfx bare = test::MakeUserPfx({.commonName = "D123456789", .keyUsage = ""});
  EXPECT_EQ(engine.RegisterPfx(W(bare.folder), W(bare.fileName), W("pass1234"), 3, 0, 0x80), 5017);
  EXPECT_EQ(engine.RegisterPfx(W(bare.folder), W(bare.fileName), W("pass1234"), 3, 0, 0), 0);
}

TEST_F(RegistrationTest, FailuresOfRegisterPfx) {
  const test::UserPfx pfx = test::MakeUserPfx({.commonName = "E123456789"});
  EXPECT_EQ(engine.RegisterPfx(W(pfx.folder), W("missing.pfx"), W("pass1234"), 3, 0, 0), 5902);
  EXPECT_EQ(engine.RegisterPfx(W(pfx.folder), W(pfx.fileName), W("wrong-password"), 3, 0, 0), 5208);
  EXPECT_NE(engine.GetCapiErrorCode(), 0);
  EXPECT_EQ(engine.RegisterPfx(W(pfx.folder), W("cert.pem"), W("pass1234"), 3, 0, 0), 5207);
  // A file with only the authority's certificate (no key): 5204.
  const std::string caOnly = pfx.folder + "/ca-only.pfx";
  test::OpenSsl("pkcs12 -export -nokeys -in " + pfx.caPem + " -out " + caOnly +
                " -passout pass:pass1234");
  EXPECT_EQ(engine.RegisterPfx(W(pfx.folder), W("ca-only.pfx"), W("pass1234"), 3, 0, 0), 5204);
  RegistrationRecord record;
  EXPECT_EQ(ReadRegistrationRecord("E123456789", &record), 5018);
}

TEST_F(RegistrationTest, MissingInputsAreAskedFor) {
  const test::UserPfx pfx = test::MakeUserPfx({.commonName = "F123456789"});
  test::ScriptedDialogs dialogs;
  dialogs.Answer({"cancel", "ok\tpassword=pass1234"});
  EXPECT_EQ(engine.RegisterPfx(W(pfx.folder), W(pfx.fileName), W(""), 3, 0, 0), 5070);
  EXPECT_EQ(engine.RegisterPfx(W(pfx.folder), W(pfx.fileName), W(""), 3, 0, 0), 0);
  const auto lines = dialogs.Transcript();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find("請輸入註冊的憑證檔案資訊"), std::string::npos);
  EXPECT_NE(lines[1].find(pfx.path), std::string::npos);
  EXPECT_EQ(dialogs.TranscriptText().find("pass1234"), std::string::npos);
}

TEST_F(RegistrationTest, UnusableDefaultFolderAsksForAnother) {
  const test::UserPfx pfx = test::MakeUserPfx({.commonName = "G123456789"});
  // A home folder that is a file: the default folder cannot be made in it.
  const std::string home = std::getenv("HOME");
  const std::string blocked = test::NewFolder("blocked") + "/home-file";
  test::WriteFile(blocked, "not a folder");
  setenv("HOME", blocked.c_str(), 1);
  test::ScriptedDialogs dialogs;
  const std::string chosen = test::NewFolder("chosen");
  dialogs.Answer({"cancel", "ok\tbrowse=" + chosen});
  EXPECT_EQ(engine.RegisterPfx(W(pfx.folder), W(pfx.fileName), W("pass1234"), 3, 0, 0), 5070);
  RegistrationRecord record;
  EXPECT_EQ(ReadRegistrationRecord("G123456789", &record), 5018);
  EXPECT_EQ(engine.RegisterPfx(W(pfx.folder), W(pfx.fileName), W("pass1234"), 3, 0, 0), 0);
  setenv("HOME", home.c_str(), 1);
  ASSERT_EQ(ReadRegistrationRecord("G123456789", &record), 0);
  EXPECT_EQ(record.path, chosen + "/G123456789.pfx");
  EXPECT_EQ(test::ReadFile(chosen + "/G123456789.pfx"), test::ReadFile(pfx.path));
  const auto lines = dialogs.Transcript();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("\"template\": 204"), std::string::npos);
  EXPECT_NE(lines[0].find(blocked + "/ZYQ證券"), std::string::npos);
}

TEST_F(RegistrationTest, UpdateRegisterModeChecksThePassword) {
  const test::UserPfx pfx = test::MakeUserPfx({.commonName = "H123456789"});
  ASSERT_EQ(engine.RegisterPfx(W(pfx.folder), W(pfx.fileName), W("pass1234"), 3, 0, 0), 0);
  EXPECT_EQ(engine.UpdateRegisterMode(W("h123456789"), W("wrong-pass"), 1), 5208);
  EXPECT_EQ(engine.GetRegisterPfxFileName().Length(), 0u);
  EXPECT_EQ(engine.GetRegisterUserMode(), -1);
  RegistrationRecord record;
  ASSERT_EQ(ReadRegistrationRecord("H123456789", &record), 0);
  EXPECT_EQ(record.mode, 3);

  ASSERT_EQ(engine.UpdateRegisterMode(W("h123456789"), W("pass1234"), 2), 0);
  EXPECT_EQ(engine.GetRegisterUserMode(), 3);  // the mode read before the update
  ASSERT_EQ(ReadRegistrationRecord("H123456789", &record), 0);
  EXPECT_EQ(record.mode, 2);
  EXPECT_EQ(engine.UpdateRegisterMode(W(""), W("pass1234"), 2), 5005);
  EXPECT_EQ(engine.UpdateRegisterMode(W("Z999999999"), W("pass1234"), 2), 5018);
  EXPECT_EQ(engine.QueryUserInfo(W("")), 5005);
  EXPECT_EQ(engine.QueryUserInfo(W("Z999999999")), 5018);
}

TEST_F(RegistrationTest, ExportedFileIsRegisteredInPlaceOnce) {
  const test::UserPfx pfx = test::MakeUserPfx({.commonName = "J123456789"});
  // The certificate goes into "MY" and out again into a file of its own.
  ASSERT_EQ(engine.ImportPfxToIE(W(pfx.folder), W(pfx.fileName), W("pass1234"), 0, 0), 0);
  const std::string exported = test::NewFolder("exported");
  ASSERT_EQ(engine.ExportPfxFromIE(W("C=TW, O=Test, CN=J123456789"), W(exported), W("pass1234"),
                                   kRemoveAfterExport, 0),
            0);
  ASSERT_EQ(Utf8(engine.GetExportedPfxFileName()), "J123456789.pfx");
  const std::string written = exported + "/J123456789.pfx";

  ASSERT_EQ(engine.RegisterPfx(W(exported), W("J123456789.pfx"), W("pass1234"), 2, 0, 0), 0);
  RegistrationRecord record;
  ASSERT_EQ(ReadRegistrationRecord("J123456789", &record), 0);
  EXPECT_EQ(record.path, Utf8ToAnsi(written));
  EXPECT_EQ(Utf8(engine.GetRegisterPfxFilePath()), exported);
  EXPECT_EQ(Utf8(engine.GetRegisterPfxFileName()), "J123456789.pfx");
  EXPECT_FALSE(std::filesystem::exists(FsPath(test::DefaultCertFolderUtf8() + "/J123456789.pfx")));
  // The export is used up: the second time the file is copied as usual.
  ASSERT_EQ(engine.RegisterPfx(W(exported), W("J123456789.pfx"), W("pass1234"), 2, 0, 0), 0);
  ASSERT_EQ(ReadRegistrationRecord("J123456789", &record), 0);
  EXPECT_EQ(record.path, Utf8ToAnsi(test::DefaultCertFolderUtf8() + "/J123456789.pfx"));
}

}  // namespace
}  // namespace zyq
