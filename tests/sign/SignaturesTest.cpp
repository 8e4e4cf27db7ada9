// The signatures themselves, verified with openssl: PKCS#1 over the digest table of the flags,
// PKCS#7 SignedData with every flag, the certificates each message carries and the chain test.
#include <gtest/gtest.h>

#include <filesystem>

#include "codec/ByteBuffer.h"
#include "engine/SecurityEngine.h"
#include "platform/Text.h"
#include "tests/registration/PfxFiles.h"
#include "tests/support/TestEnvironment.h"

namespace zyq {
namespace {

using platform::Bstr;
using test::U16;

Bstr W(const std::string& utf8) {
  return Bstr::FromView(U16(utf8));
}

std::string Utf8(const Bstr& text) {
  return platform::WideToUtf8(text.View());
}

std::string Unbase64(const std::string& text) {
  ByteBuffer bytes;
  EXPECT_TRUE(bytes.DecodeBase64(text.c_str()));
  return std::string(bytes.view());
}

std::string Unhex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// UTF-16LE bytes of ASCII/BMP text.
std::string Utf16Le(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

class SignaturesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    user_ = new test::UserPfx(
        test::MakeUserPfx({.commonName = "TWS123456789 Chen", .includeCa = true}));
    bare_ = new test::UserPfx(test::MakeUserPfx({.commonName = "S223456789"}));
    SecurityEngine engine;
    ASSERT_EQ(engine.RegisterPfx(W(user_->folder), W(user_->fileName), W("pass1234"), 3, 0, 0), 0);
    ASSERT_EQ(engine.RegisterPfx(W(bare_->folder), W(bare_->fileName), W("pass1234"), 3, 0, 0), 0);
  }
  static void TearDownTestSuite() {
    delete user_;
    delete bare_;
  }

  std::string Write(const std::string& bytes) {
    const std::string path = work_ + "/f" + std::to_string(++files_);
    test::WriteFile(path, bytes);
    return path;
  }

  // openssl pkeyutl verifies the PKCS#1 signature over the DigestInfo of the digest.
  bool VerifyPkcs1(const std::string& signature, const std::string& digestInfo) {
    std::string out;
    return test::RunCommand("openssl pkeyutl -verify -certin -inkey " + user_->certPem +
                                " -pkeyopt rsa_padding_mode:pkcs1 -in " + Write(digestInfo) +
                                " -sigfile " + Write(signature),
                            &out) == 0;
  }

  // openssl cms -verify of a DER message; detached messages get the content from a file. The
  // content openssl recovers is returned in *content.
  bool VerifyPkcs7(const std::string& der, const std::string* detachedContent, std::string* content,
                   bool withChain = false) {
    const std::string out = work_ + "/out" + std::to_string(++files_);
    std::string args = "openssl cms -verify -inform DER -in " + Write(der) + " -out " + out;
    args += withChain ? " -CAfile " + user_->caPem : " -noverify";
    if (detachedContent != nullptr) args += " -binary -content " + Write(*detachedContent);
    std::string log;
    const bool ok = test::RunCommand(args, &log) == 0;
    if (!ok) ADD_FAILURE() << log;
    if (content != nullptr) *content = test::ReadFile(out);
    return ok;
  }

  int CertificateCount(const std::string& der) {
    std::string out;
    test::RunCommand("openssl pkcs7 -inform DER -print_certs -noout -in " + Write(der), &out);
    int count = 0;
    for (size_t at = out.find("subject="); at != std::string::npos;
         at = out.find("subject=", at + 1)) {
      ++count;
    }
    return count;
  }

  std::string Print(const std::string& der) {
    std::string out;
    test::RunCommand("openssl cms -cmsout -print -inform DER -in " + Write(der), &out);
    return out;
  }

  std::string Dgst(const std::string& algorithm, const std::string& bytes) {
    std::string out;
    test::RunCommand("openssl dgst -" + algorithm + " -binary " + Write(bytes), &out);
    return out;
  }

  static test::UserPfx* user_;
  static test::UserPfx* bare_;
  SecurityEngine engine_;
  std::string work_ = test::NewFolder("sig");
  int files_ = 0;
};

test::UserPfx* SignaturesTest::user_ = nullptr;
test::UserPfx* SignaturesTest::bare_ = nullptr;

const std::string kSha1Prefix = Unhex("3021300906052b0e03021a05000414");
const std::string kMd5Prefix = Unhex("3020300c06082a864886f70d020505000410");

TEST_F(SignaturesTest, Pkcs1FollowsTheDigestTable) {
  const std::u16string content = u"Buy 100 at 12.5 元";
  const std::string utf16 = Utf16Le(content);
  const std::string ansi = platform::WideToAnsi(content);

  const std::string hex = Utf8(engine_.SignPkcs1(W("s123456789"), Bstr::FromView(content), 0, 0));
  ASSERT_EQ(engine_.GetErrorCode(), 0);
  ASSERT_EQ(hex.size(), 256u);
  EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_TRUE(VerifyPkcs1(Unhex(hex), kSha1Prefix + Dgst("sha1", utf16)));

  const std::string b64 =
      Utf8(engine_.SignPkcs1(W("S123456789"), Bstr::FromView(content), 0x100, 0));
  ASSERT_EQ(b64.size(), 172u);
  EXPECT_EQ(b64.back(), '=');
  EXPECT_TRUE(VerifyPkcs1(Unbase64(b64), kSha1Prefix + Dgst("sha1", utf16)));

  const std::string ansiHex =
      Utf8(engine_.SignPkcs1(W("S123456789"), Bstr::FromView(content), 0x800, 0));
  EXPECT_NE(ansiHex, hex);
  EXPECT_TRUE(VerifyPkcs1(Unhex(ansiHex), kSha1Prefix + Dgst("sha1", ansi)));

  for (int flags : {0x1000, 0x3000}) {
    const std::string md5 =
        Utf8(engine_.SignPkcs1(W("S123456789"), Bstr::FromView(content), flags, 0));
    EXPECT_TRUE(VerifyPkcs1(Unhex(md5), kMd5Prefix + Dgst("md5", utf16))) << flags;
  }
  const std::string sha1OfMd5 =
      Utf8(engine_.SignPkcs1(W("S123456789"), Bstr::FromView(content), 0x2000, 0));
  EXPECT_TRUE(VerifyPkcs1(Unhex(sha1OfMd5), kSha1Prefix + Dgst("sha1", Dgst("md5", utf16))));
}

TEST_F(SignaturesTest, Pkcs1ReturnsTheSignerAndChecksKeyUsage) {
  EXPECT_EQ(Utf8(engine_.SignPkcs1(W("S123456789"), W("x"), 0, 0x80)).size(), 256u);
  EXPECT_EQ(engine_.GetErrorCode(), 0);
  // The certificate has digitalSignature and nonRepudiation but not keyEncipherment.
  EXPECT_TRUE(Utf8(engine_.SignPkcs1(W("S123456789"), W("x"), 0, 0x20)).empty());
  EXPECT_EQ(engine_.GetErrorCode(), 5017);
}

TEST_F(SignaturesTest, Pkcs7AttachedAndDetachedVerify) {
  const std::u16string content = u"Sell 200 at 9.8 股";
  const std::string utf16 = Utf16Le(content);
  const std::string ansi = platform::WideToAnsi(content);
  std::string recovered;

  // 0: attached, SHA-1, the signer's certificate.
  std::string der =
      Unbase64(Utf8(engine_.SignPkcs7(W("S123456789"), Bstr::FromView(content), 0, 0)));
  ASSERT_EQ(engine_.GetErrorCode(), 0);
  EXPECT_TRUE(VerifyPkcs7(der, nullptr, &recovered));
  EXPECT_EQ(recovered, utf16);
  EXPECT_EQ(CertificateCount(der), 1);
  EXPECT_NE(Print(der).find("algorithm: sha1 (1.3.14.3.2.26)"), std::string::npos);

  // 0x800: the ANSI bytes are the content.
  der = Unbase64(Utf8(engine_.SignPkcs7(W("S123456789"), Bstr::FromView(content), 0x800, 0)));
  EXPECT_TRUE(VerifyPkcs7(der, nullptr, &recovered));
  EXPECT_EQ(recovered, ansi);

  // 0x100: no certificate; verified with the certificate given separately.
  der = Unbase64(Utf8(engine_.SignPkcs7(W("S123456789"), Bstr::FromView(content), 0x100, 0)));
  EXPECT_EQ(CertificateCount(der), 0);
  std::string log;
  EXPECT_EQ(test::RunCommand("openssl cms -verify -noverify -inform DER -in " + Write(der) +
                                 " -certfile " + user_->certPem + " -out /dev/null",
                             &log),
            0)
      << log;

  // 0x400 and 0x500: detached; only the exact content bytes verify.
  for (int flags : {0x400, 0x500, 0xC00}) {
    der = Unbase64(Utf8(engine_.SignPkcs7(W("S123456789"), Bstr::FromView(content), flags, 0)));
    const std::string& signedBytes = (flags & 0x800) ? ansi : utf16;
    if (flags & 0x100) {
      EXPECT_EQ(test::RunCommand("openssl cms -verify -noverify -binary -inform DER -in " +
                                     Write(der) + " -certfile " + user_->certPem + " -content " +
                                     Write(signedBytes) + " -out /dev/null",
                                 &log),
                0)
          << log;
    } else {
      EXPECT_TRUE(VerifyPkcs7(der, &signedBytes, nullptr)) << flags;
      std::string other = signedBytes + "x";
      EXPECT_NE(test::RunCommand("openssl cms -verify -noverify -binary -inform DER -in " +
                                     Write(der) + " -content " + Write(other) + " -out /dev/null",
                                 &log),
                0);
    }
  }
}

TEST_F(SignaturesTest, Pkcs7DigestAndSigningTime) {
  std::string recovered;
  std::string der = Unbase64(Utf8(engine_.SignPkcs7(W("S123456789"), W("abc"), 0x1000, 0)));
  EXPECT_TRUE(VerifyPkcs7(der, nullptr, &recovered));
  EXPECT_NE(Print(der).find("1.2.840.113549.1.1.4"), std::string::npos);
  EXPECT_EQ(Print(der).find("signingTime"), std::string::npos);

  der = Unbase64(Utf8(engine_.SignPkcs7(W("S123456789"), W("abc"), 0x2000, 0)));
  ASSERT_EQ(engine_.GetErrorCode(), 0);
  EXPECT_TRUE(VerifyPkcs7(der, nullptr, &recovered));
  const std::string printed = Print(der);
  for (const char* attribute : {"signingTime", "contentType", "messageDigest"}) {
    EXPECT_NE(printed.find(attribute), std::string::npos) << attribute;
  }
  // Changing a signed attribute breaks the signature: the attributes are covered by it.
  std::string tampered = der;
  const size_t at = tampered.rfind("\x17\x0d");  // signingTime, after the certificates
  ASSERT_NE(at, std::string::npos);
  tampered[at + 3] = tampered[at + 3] == '0' ? '1' : '0';
  std::string log;
  EXPECT_NE(test::RunCommand("openssl cms -verify -noverify -inform DER -in " + Write(tampered) +
                                 " -out /dev/null",
                             &log),
            0);
}

TEST_F(SignaturesTest, Pkcs7ChainCertificates) {
  std::string recovered;
  // 0x200 and 0x300: the signer and its authority, although the root is not in "ROOT".
  for (int flags : {0x200, 0x300}) {
    const std::string der = Unbase64(Utf8(engine_.SignPkcs7(W("S123456789"), W("abc"), flags, 0)));
    ASSERT_EQ(engine_.GetErrorCode(), 0) << flags;
    EXPECT_EQ(CertificateCount(der), 2) << flags;
    EXPECT_TRUE(VerifyPkcs7(der, nullptr, &recovered, /*withChain=*/true));
  }
  // The file without the authority's certificate: the chain stays incomplete.
  EXPECT_TRUE(Utf8(engine_.SignPkcs7(W("S223456789"), W("abc"), 0x200, 0)).empty());
  EXPECT_EQ(engine_.GetErrorCode(), 5202);
  EXPECT_EQ(engine_.GetCapiErrorCode(), 0);
  // Without 0x200 the same user signs.
  EXPECT_FALSE(Utf8(engine_.SignPkcs7(W("S223456789"), W("abc"), 0, 0)).empty());
  EXPECT_EQ(engine_.GetErrorCode(), 0);
}

}  // namespace
}  // namespace zyq
