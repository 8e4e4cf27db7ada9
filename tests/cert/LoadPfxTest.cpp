// PKCS#12 files opened by CertStore::LoadPfx (files written by `openssl pkcs12` and by the
// OpenSSL library), and the search over what they hold.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "cert/CertStore.h"
#include "cert/CertificateWrapper.h"
#include "engine/ResultCodes.h"
#include "platform/CryptoKeys.h"
#include "platform/Providers.h"
#include "tests/cert/CertTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace zyq {
namespace {

using test::Bytes;

class LoadPfxTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    caKey_ = test::NewRsaKey();
    test::CertSpec ca;
    ca.Subject({{test::kOidCn, test::kPrintable, "PFX Root"}}).Ca().KeyUsage("keyCertSign");
    caDer_ = new Bytes(test::MakeCertificate(ca, caKey_, caKey_));
    test::CertSpec user = test::WithCn("Wang");
    user.Issuer({{test::kOidCn, test::kPrintable, "PFX Root"}})
        .Serial({0x10, 0x01})
        .KeyUsage("digitalSignature,nonRepudiation");
    userDer_ = new Bytes(test::MakeCertificate(user, test::SharedKey(), caKey_));
  }
  static void TearDownTestSuite() {
    caKey_.reset();
    delete caDer_;
    delete userDer_;
  }

  void SetUp() override {
    dir_ = test::NewWorkFolder();
    setenv("ZYQSEC_HOME", (dir_ + "/state").c_str(), 1);
    setenv("ZYQSEC_UI", "none", 1);
    ASSERT_TRUE(test::WriteFile(dir_ + "/user.pem", test::CertPem(*userDer_)));
    ASSERT_TRUE(test::WriteFile(dir_ + "/ca.pem", test::CertPem(*caDer_)));
    ASSERT_TRUE(test::WriteFile(dir_ + "/user.key", test::KeyPem(test::SharedKey())));
  }

  // `openssl pkcs12 -export` of the user certificate with its key and the authority's
  // certificate; returns the file's path.
  std::string OpenSslExport(const std::string& name, const std::string& extraArgs) {
    const std::string path = dir_ + "/" + name;
    std::string output;
    EXPECT_EQ(test::RunCommand("openssl pkcs12 -export -in " + dir_ + "/user.pem -inkey " + dir_ +
                                   "/user.key -certfile " + dir_ + "/ca.pem -out " + path + " " +
                                   extraArgs + " 2>&1",
                               &output),
              0)
        << output;
    return path;
  }

  // A file written with the OpenSSL library; pass null for the absent password.
  std::string LibraryExport(const std::string& name, const char* pass) {
    const std::string path = dir_ + "/" + name;
    const Bytes pfx = test::MakePfx({{*userDer_, &test::SharedKey()}}, pass, false);
    EXPECT_TRUE(test::WriteFile(path, test::ToString(pfx)));
    return path;
  }

  std::vector<std::string> Found(CertStore& store, int32_t* code) {
    CertContexts out;
    *code = store.FindCertificates(&out, "", 0, 0);
    std::vector<std::string> names;
    for (const auto& c : out) names.push_back(CertificateWrapper(c).GetSubjectCN());
    return names;
  }

  static test::TestKey caKey_;
  static Bytes* caDer_;
  static Bytes* userDer_;
  std::string dir_;
};

test::TestKey LoadPfxTest::caKey_;
Bytes* LoadPfxTest::caDer_ = nullptr;
Bytes* LoadPfxTest::userDer_ = nullptr;

TEST_F(LoadPfxTest, OpensTheFileAndFindsTheKeyedCertificate) {
  const std::string path = OpenSslExport("user.pfx", "-passout pass:secret");
  CertStore store;
  ASSERT_EQ(store.LoadPfx(path, "secret", 0), 0);
  EXPECT_TRUE(store.isOpen());
  int32_t code = -1;
  // The authority's certificate comes without a key and is passed over.
  EXPECT_EQ(Found(store, &code), (std::vector<std::string>{"Wang"}));
  EXPECT_EQ(code, 0);
  CertContexts out;
  ASSERT_EQ(store.FindCertificates(&out, "CN=PFX Root", 0, 0), result::kPersonalStoreDenied);
  ASSERT_EQ(store.FindCertificates(&out, "CN=Wang, SN=1001", kFindContains, 0xC0), 0);
  const auto link = store.GetKeyProvInfo(out[0]);
  ASSERT_TRUE(link.has_value());
  EXPECT_EQ(link->providerName, platform::kMsEnhancedProv);
}

TEST_F(LoadPfxTest, PasswordsWrongEmptyAbsentAndNonAscii) {
  const std::string secret = OpenSslExport("secret.pfx", "-passout pass:secret");
  CertStore store;
  EXPECT_EQ(store.LoadPfx(secret, "Secret", 0), result::kPkcs12WrongPassword);
  EXPECT_EQ(store.lastError(), platform::kErrorInvalidPassword);
  EXPECT_FALSE(store.isOpen());
  EXPECT_EQ(store.LoadPfx(secret, "", 0), result::kPkcs12WrongPassword);
  EXPECT_FALSE(store.isOpen());

  // A file protected with an empty password and one protected with none both open with "".
  const std::string empty = LibraryExport("empty.pfx", "");
  const std::string absent = LibraryExport("absent.pfx", nullptr);
  int32_t code = -1;
  ASSERT_EQ(store.LoadPfx(empty, "", 0), 0);
  EXPECT_EQ(Found(store, &code), (std::vector<std::string>{"Wang"}));
  ASSERT_EQ(store.LoadPfx(absent, "", 0), 0);
  EXPECT_EQ(Found(store, &code), (std::vector<std::string>{"Wang"}));
  EXPECT_EQ(store.LoadPfx(absent, "x", 0), result::kPkcs12WrongPassword);
  const std::string commandEmpty = OpenSslExport("command-empty.pfx", "-passout pass:");
  EXPECT_EQ(store.LoadPfx(commandEmpty, "", 0), 0);

  // The ANSI (Big5) password reaches the file as the same characters: U+5BC6 U+78BC.
  const std::string chinese =
      OpenSslExport("chinese.pfx", "-passout 'pass:\xE5\xAF\x86\xE7\xA2\xBC'");
  EXPECT_EQ(store.LoadPfx(chinese, "\xB1\x4B\xBD\x58", 0), 0);
  EXPECT_EQ(store.LoadPfx(chinese, "??", 0), result::kPkcs12WrongPassword);
}

TEST_F(LoadPfxTest, FilesThatCannotBeReadOrAreNotPkcs12) {
  CertStore store;
  ASSERT_EQ(store.OpenMemory(), 0);
  EXPECT_EQ(store.LoadPfx("", "pw", 0), result::kBadParameter);
  EXPECT_FALSE(store.isOpen());
  EXPECT_EQ(store.lastError(), 0u);

  EXPECT_EQ(store.LoadPfx(dir_ + "/missing.pfx", "pw", 0), result::kPfxReadFailed);
  EXPECT_EQ(store.lastError(), platform::kErrorFileNotFound);
  EXPECT_EQ(store.LoadPfx(dir_ + "/no/such/folder/a.pfx", "pw", 0), result::kPfxReadFailed);
  EXPECT_EQ(store.lastError(), platform::kErrorPathNotFound);
  EXPECT_EQ(store.LoadPfx(dir_, "pw", 0), result::kPfxReadFailed);
  EXPECT_EQ(store.lastError(), platform::kErrorAccessDenied);
  ASSERT_TRUE(test::WriteFile(dir_ + "/empty.pfx", ""));
  EXPECT_EQ(store.LoadPfx(dir_ + "/empty.pfx", "pw", 0), result::kPfxReadFailed);

  ASSERT_TRUE(test::WriteFile(dir_ + "/cert.pfx", test::ToString(*userDer_)));
  EXPECT_EQ(store.LoadPfx(dir_ + "/cert.pfx", "pw", 0), result::kPkcs12FormatError);
  EXPECT_EQ(store.lastError() & 0xFFFFF000u, 0x80093000u);  // a CRYPT_E_ASN1_ code
  ASSERT_TRUE(test::WriteFile(dir_ + "/text.pfx", "not a pkcs12 file\n"));
  EXPECT_EQ(store.LoadPfx(dir_ + "/text.pfx", "", 0), result::kPkcs12FormatError);
  EXPECT_FALSE(store.isOpen());
}

TEST_F(LoadPfxTest, KeysOfAnotherProviderAreRejected) {
  ASSERT_EQ(platform::InstallProvider("Acme Token CSP", platform::kProvRsaFull), 0u);
  const std::string path = OpenSslExport("acme.pfx", "-passout pass:pw -CSP 'Acme Token CSP'");
  CertStore store;
  ASSERT_EQ(store.LoadPfx(path, "pw", 0), 0);
  CertContexts out;
  EXPECT_EQ(store.FindCertificates(&out, "CN=Wang", 0, 0), result::kKeyNotExportable);
  EXPECT_TRUE(out.empty());
  // With the certificate of the other provider first and a Microsoft one after it, the latter
  // is found.
  const std::string microsoft = OpenSslExport("ms.pfx", "-passout pass:pw");
  CertStore second;
  ASSERT_EQ(second.LoadPfx(microsoft, "pw", 0), 0);
  EXPECT_EQ(second.FindCertificates(&out, "CN=Wang", 0, 0), 0);
}

TEST_F(LoadPfxTest, UserProtectedKeysAskBeforeUse) {
  const std::string path = OpenSslExport("user.pfx", "-passout pass:pw");
  const Bytes hash(20, 1);
  Bytes signature;
  for (const int32_t flags : {0, kPfxUserProtected}) {
    CertStore store;
    ASSERT_EQ(store.LoadPfx(path, "pw", flags), 0);
    CertContexts out;
    ASSERT_EQ(store.FindCertificates(&out, "CN=Wang", 0, 0), 0);
    const std::string script = dir_ + "/answers" + std::to_string(flags) + ".txt";
    ASSERT_TRUE(test::WriteFile(script, "cancel\n"));
    setenv("ZYQSEC_UI", ("script:" + script).c_str(), 1);
    const platform::SysError error =
        platform::SignHashWithKey(*out[0].keyLink(), platform::kCalgSha1, hash, &signature);
    setenv("ZYQSEC_UI", "none", 1);
    EXPECT_EQ(error, flags ? platform::kErrorCancelled : platform::kErrorSuccess) << flags;
  }
}

}  // namespace
}  // namespace zyq
