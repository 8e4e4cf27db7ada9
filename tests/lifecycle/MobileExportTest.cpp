// The mobile key record of ExportMobileFromIE and ExportMobileFromPfx, decrypted with the
// `openssl enc` command under SHA-1(password) || "QPKM" and read field by field.
#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/sha.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "engine/ResultCodes.h"
#include "engine/SecurityEngine.h"
#include "platform/CryptoKeys.h"
#include "platform/SystemErrors.h"
#include "tests/lifecycle/LifecycleTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::test {
namespace {

// Decrypts the Base64 text with the openssl command; empty when it fails.
Bytes DecryptRecord(const std::string& base64, const std::string& password) {
  unsigned char digest[SHA_DIGEST_LENGTH];
  SHA1(reinterpret_cast<const unsigned char*>(password.data()), password.size(), digest);
  Bytes key(digest, digest + SHA_DIGEST_LENGTH);
  for (char c : std::string("QPKM")) key.push_back(static_cast<uint8_t>(c));
  const std::string folder = NewWorkFolder();
  if (!WriteFile(folder + "/record.b64", base64 + "\n")) return {};
  const int status = RunCommand("openssl enc -d -des-ede3-cbc -a -A -K " + Hex(key) +
                                " -iv 0000000000000000 -in " + folder + "/record.b64 -out " +
                                folder + "/record.bin");
  if (status != 0) return {};
  return ToBytes(FileBytes(folder + "/record.bin"));
}

// Reads the record's fields in order.
class RecordReader {
 public:
  explicit RecordReader(const Bytes& record) : record_(record) {}
  Bytes Take(size_t n) {
    if (pos_ + n > record_.size()) {
      failed_ = true;
      return {};
    }
    Bytes out(record_.begin() + pos_, record_.begin() + pos_ + n);
    pos_ += n;
    return out;
  }
  uint32_t Number() {
    const Bytes b = Take(4);
    if (b.size() != 4) return 0;
    return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
  }
  Bytes Counted() { return Take(Number()); }
  bool atEnd() const { return !failed_ && pos_ == record_.size(); }

 private:
  const Bytes& record_;
  size_t pos_ = 0;
  bool failed_ = false;
};

// A parameter of the RSA key, big-endian, left-padded with zeros to `width` bytes.
Bytes KeyParameter(EVP_PKEY* key, const char* name, size_t width) {
  BIGNUM* n = nullptr;
  if (EVP_PKEY_get_bn_param(key, name, &n) != 1) return {};
  const OpenSslPtr<BIGNUM> owner(n);
  Bytes out(width);
  BN_bn2binpad(n, out.data(), static_cast<int>(width));
  return out;
}

class MobileExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The validity fields are local time; read them in UTC.
    setenv("TZ", "UTC", 1);
    tzset();
  }
  Authority ca;
  SecurityEngine engine;
};

TEST_F(MobileExportTest, RecordFromThePersonalStoreHoldsKeyAndCertificateFields) {
  const Holder wang = Issue(ca, "A123456789", "critical,digitalSignature", 0x4142);
  AddToPersonalStore(wang, platform::kCryptExportable);

  const std::string text =
      Str(engine.ExportMobileFromIE(Text("CN=A123456789"), Text("pw-1234"), 0x8, 0x80));
  ASSERT_EQ(engine.GetErrorCode(), 0);
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
  const Bytes record = DecryptRecord(text, "pw-1234");
  ASSERT_FALSE(record.empty());

  RecordReader in(record);
  EXPECT_EQ(ToString(in.Take(4)), "QPKM");
  const uint32_t bits = in.Number();
  EXPECT_EQ(bits, 1024u);
  EXPECT_EQ(in.Number(), 65537u);
  EVP_PKEY* key = OpenSslKey(wang.key);
  EXPECT_EQ(in.Take(bits / 8), CertModulus(wang.cert));
  EXPECT_EQ(in.Take(bits / 16), KeyParameter(key, OSSL_PKEY_PARAM_RSA_FACTOR1, bits / 16));
  EXPECT_EQ(in.Take(bits / 16), KeyParameter(key, OSSL_PKEY_PARAM_RSA_FACTOR2, bits / 16));
  EXPECT_EQ(in.Take(bits / 16), KeyParameter(key, OSSL_PKEY_PARAM_RSA_EXPONENT1, bits / 16));
  EXPECT_EQ(in.Take(bits / 16), KeyParameter(key, OSSL_PKEY_PARAM_RSA_EXPONENT2, bits / 16));
  EXPECT_EQ(in.Take(bits / 16), KeyParameter(key, OSSL_PKEY_PARAM_RSA_COEFFICIENT1, bits / 16));
  EXPECT_EQ(in.Take(bits / 8), KeyParameter(key, OSSL_PKEY_PARAM_RSA_D, bits / 8));
  const Bytes cn = in.Counted();
  EXPECT_EQ(ToString(cn), "A123456789");
  const Bytes serial = in.Counted();
  EXPECT_EQ(serial, (Bytes{0x41, 0x42}));
  unsigned char thumbprint[SHA_DIGEST_LENGTH];
  SHA1(wang.cert.data(), wang.cert.size(), thumbprint);
  EXPECT_EQ(in.Take(20), Bytes(thumbprint, thumbprint + SHA_DIGEST_LENGTH));
  EXPECT_EQ(ToString(in.Take(14)), "20100102030405");
  EXPECT_EQ(ToString(in.Take(14)), "21000101000000");
  const Bytes der = in.Counted();
  EXPECT_EQ(der, wang.cert);
  EXPECT_TRUE(in.atEnd());
  EXPECT_EQ(record.size(), 72 + 9 * bits / 16 + cn.size() + serial.size() + der.size());
}

TEST_F(MobileExportTest, EmptyPasswordStillEncrypts) {
  const Holder wang = Issue(ca, "A123456789", "critical,digitalSignature", 7);
  AddToPersonalStore(wang, platform::kCryptExportable);
  const std::string text = Str(engine.ExportMobileFromIE(Text("CN=A123456789"), Text(""), 0x8, 0));
  ASSERT_EQ(engine.GetErrorCode(), 0);
  const Bytes record = DecryptRecord(text, "");
  ASSERT_GE(record.size(), 4u);
  EXPECT_EQ(ToString(Bytes(record.begin(), record.begin() + 4)), "QPKM");
  // The plain record is not there to see.
  EXPECT_EQ(ToString(ToBytes(text)).find("QPKM"), std::string::npos);
}

TEST_F(MobileExportTest, KeyThatMayNotLeaveItsContainerGivesNoRecord) {
  const Holder wang = Issue(ca, "A123456789", "critical,digitalSignature", 7);
  AddToPersonalStore(wang, 0);
  EXPECT_EQ(Str(engine.ExportMobileFromIE(Text("CN=A123456789"), Text("pw"), 0x8, 0)), "");
  EXPECT_EQ(engine.GetErrorCode(), result::kKeyNotExportable);
  EXPECT_EQ(static_cast<platform::SysError>(engine.GetCapiErrorCode()), platform::kNteBadKeyState);
}

TEST_F(MobileExportTest, RecordFromAFileTakesTheFirstCertificateWithAKey) {
  const Holder wang = Issue(ca, "A123456789", "critical,digitalSignature", 7);
  const std::string folder = NewWorkFolder();
  ASSERT_TRUE(
      WriteFile(folder + "/u.pfx",
                ToString(MakePfx({{ca.cert, nullptr}, {wang.cert, &wang.key}}, "file-pw", false))));

  const std::string text =
      Str(engine.ExportMobileFromPfx(Text(folder), Text("u.pfx"), Text("file-pw"), 0, 0x80));
  ASSERT_EQ(engine.GetErrorCode(), 0);
  const Bytes record = DecryptRecord(text, "file-pw");
  RecordReader in(record);
  EXPECT_EQ(ToString(in.Take(4)), "QPKM");
  const uint32_t bits = in.Number();
  in.Take(4);
  EXPECT_EQ(in.Take(bits / 8), CertModulus(wang.cert));

  // A key usage the certificate lacks, a wrong password, a missing file.
  EXPECT_EQ(Str(engine.ExportMobileFromPfx(Text(folder), Text("u.pfx"), Text("file-pw"), 0, 0x20)),
            "");
  EXPECT_EQ(engine.GetErrorCode(), result::kKeyUsageMismatch);
  EXPECT_EQ(Str(engine.ExportMobileFromPfx(Text(folder), Text("u.pfx"), Text("other"), 0, 0)), "");
  EXPECT_EQ(engine.GetErrorCode(), result::kPkcs12WrongPassword);
  EXPECT_EQ(Str(engine.ExportMobileFromPfx(Text(folder), Text("x.pfx"), Text("file-pw"), 0, 0)),
            "");
  EXPECT_EQ(engine.GetErrorCode(), result::kFileNotFound);
}

}  // namespace
}  // namespace zyq::test
