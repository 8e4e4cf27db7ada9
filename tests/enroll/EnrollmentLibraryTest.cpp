// Enrollment through the exports of the built library, with the openssl command as the
// certification authority: the request goes out as our Base64 text, the answer comes back as
// the PEM bundle that openssl writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/CertStores.h"
#include "platform/Text.h"
#include "tests/api/FlatLibrary.h"
#include "tests/enroll/EnrollTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace zyq {
namespace {

class EnrollmentLibraryTest : public test::EnrollStateTest {
 protected:
  // Runs an openssl command in the test's folder; fails the test when it fails.
  void OpenSsl(const std::string& arguments) {
    std::string output;
    ASSERT_EQ(test::RunCommand("cd " + folder() + " && openssl " + arguments, &output), 0)
        << arguments << "\n"
        << output;
  }
};

TEST_F(EnrollmentLibraryTest, CommandLineAuthorityAnswersOurRequest) {
  test::FlatLibrary lib;
  ASSERT_EQ(lib.Int("SetProviderName", u"Microsoft Enhanced Cryptographic Provider v1.0"), 0);
  ASSERT_EQ(lib.Int("SetKeyBits", 512), 0);
  ASSERT_EQ(lib.Int("SetKeySpec", 2), 0);
  EXPECT_EQ(lib.Text("EnumProviders", 1, 0), u"Microsoft Enhanced Cryptographic Provider v1.0");

  const std::optional<std::u16string> request = lib.Text("CreatePKCS10", u"Library User");
  ASSERT_EQ(lib.ErrorCode(), 0);
  ASSERT_TRUE(request.has_value());
  std::string pem = "-----BEGIN CERTIFICATE REQUEST-----\n";
  const std::string body = platform::WideToUtf8(*request);
  for (size_t i = 0; i < body.size(); i += 64) pem += body.substr(i, 64) + "\n";
  pem += "-----END CERTIFICATE REQUEST-----\n";
  ASSERT_TRUE(test::WriteFile(folder() + "/user.csr", pem));

  ASSERT_NO_FATAL_FAILURE(OpenSsl("req -in user.csr -verify -noout"));
  ASSERT_NO_FATAL_FAILURE(
      OpenSsl("req -x509 -newkey rsa:1024 -nodes -keyout ca.key -out ca.pem -days 30 "
              "-subj '/CN=Command Line Root' -addext 'keyUsage=critical,keyCertSign,cRLSign'"));
  ASSERT_NO_FATAL_FAILURE(OpenSsl(
      "x509 -req -in user.csr -CA ca.pem -CAkey ca.key -set_serial 77 -days 30 -out user.pem"));
  ASSERT_NO_FATAL_FAILURE(
      OpenSsl("crl2pkcs7 -nocrl -certfile ca.pem -certfile user.pem -out answer.p7"));
  const std::string answer = test::ReadFile(folder() + "/answer.p7");

  EXPECT_EQ(lib.Int("AcceptPKCS7", platform::Utf8ToWide(answer).c_str()), 0);
  EXPECT_EQ(lib.Int("GetCapiErrorCode"), 0);

  platform::CertStore my;
  std::vector<platform::CertContext> certs;
  ASSERT_EQ(platform::CertStore::OpenSystem("MY", &my), 0u);
  ASSERT_EQ(my.Enumerate(&certs), 0u);
  ASSERT_EQ(certs.size(), 1u);
  ASSERT_TRUE(certs[0].keyLink().has_value());
  EXPECT_EQ(certs[0].keyLink()->keySpec, 2u);
  platform::CertStore root;
  ASSERT_EQ(platform::CertStore::OpenSystem("ROOT", &root), 0u);
  ASSERT_EQ(root.Enumerate(&certs), 0u);
  EXPECT_EQ(certs.size(), 1u);

  // A second answer with the bare certificate, armoured as openssl wrote it, adds a copy.
  EXPECT_EQ(
      lib.Int("AcceptPKCS7", platform::Utf8ToWide(test::ReadFile(folder() + "/user.pem")).c_str()),
      0);
  ASSERT_EQ(my.Enumerate(&certs), 0u);
  EXPECT_EQ(certs.size(), 2u);
}

}  // namespace
}  // namespace zyq
