// The registration record: user-ID rules, the key and ciphertext of the stored password (checked
// with openssl), and the registry layout with its deletion and length rules.
#include "pfx/RegistrationRecord.h"

#include <gtest/gtest.h>

#include "platform/Registry.h"
#include "platform/Text.h"
#include "tests/registration/PfxFiles.h"
#include "tests/support/ReadOnlyRegistry.h"
#include "tests/support/TestEnvironment.h"

namespace zyq {
namespace {

using platform::Utf8ToAnsi;
using test::HexOf;

TEST(UserIdTest, DeriveFromCommonName) {
  EXPECT_EQ(DeriveUserId("TWA123456789 Wang"), "A123456789");
  EXPECT_EQ(DeriveUserId("A123456789"), "A123456789");
  EXPECT_EQ(DeriveUserId("12345678 Ltd"), "12345678");
  EXPECT_EQ(DeriveUserId("1234"), "1234");
  EXPECT_EQ(DeriveUserId("Wang"), "Wang");
  // A name beginning with a Chinese character (a Big5 lead byte) is the ID as a whole.
  const std::string chinese = Utf8ToAnsi("王小明 A123456789");
  EXPECT_EQ(DeriveUserId(chinese), chinese);
  EXPECT_EQ(DeriveUserId(""), "");
}

TEST(UserIdTest, NormalizeUpperCasesOnlyPlainIds) {
  EXPECT_EQ(NormalizeUserId(u"a123456789"), "A123456789");
  EXPECT_EQ(NormalizeUserId(u"A123456789"), "A123456789");
  EXPECT_EQ(NormalizeUserId(u"a12-345"), "a12-345");
  EXPECT_EQ(NormalizeUserId(u"wang da"), "wang da");
  EXPECT_EQ(NormalizeUserId(u"王a1"), Utf8ToAnsi("王a1"));
  EXPECT_EQ(NormalizeUserId(u""), "");
  EXPECT_EQ(RegisteredFileName("A123456789"), "A123456789.pfx");
}

// openssl enc deciphers the stored ciphertext under the record key with a zero IV.
std::string OpenSslDecrypt(const std::string& id, const ByteBuffer& ciphertext) {
  const SecretBytes key = RecordKey(id);
  const std::string keyHex(HexOf(std::string(key.bytes().begin(), key.bytes().end())));
  const std::string in = test::NewFolder("enc") + "/cipher.bin";
  test::WriteFile(in, std::string(ciphertext.view()));
  std::string plain;
  test::OpenSsl("enc -d -des-ede3-cbc -K " + keyHex + " -iv 0000000000000000 -in " + in, &plain);
  return plain;
}

TEST(RecordPasswordTest, CiphertextIsTripleDesUnderTheRecordKey) {
  const SecretBytes key = RecordKey("A123456789");
  ASSERT_EQ(key.bytes().size(), 24u);
  // Bytes 20 to 23 repeat bytes 16 to 19 of the SHA-1 digest.
  EXPECT_TRUE(
      std::equal(key.bytes().begin() + 16, key.bytes().begin() + 20, key.bytes().begin() + 20));
  std::string sha1;
  test::RunCommand("printf A123456789 | openssl dgst -sha1 -r | cut -c1-40", &sha1);
  EXPECT_EQ(HexOf(std::string(key.bytes().begin(), key.bytes().begin() + 20)), sha1.substr(0, 40));

  ByteBuffer seven;
  ASSERT_TRUE(EncryptRecordPassword("A123456789", "abcdefg", &seven));
  EXPECT_EQ(seven.length(), 8);
  EXPECT_EQ(OpenSslDecrypt("A123456789", seven), "abcdefg");
  ByteBuffer eight;
  ASSERT_TRUE(EncryptRecordPassword("A123456789", "abcdefgh", &eight));
  EXPECT_EQ(eight.length(), 16);
  EXPECT_EQ(OpenSslDecrypt("A123456789", eight), "abcdefgh");
  // The ANSI (code page 950) bytes of the password are what is stored.
  const std::string big5 = Utf8ToAnsi("密碼ab");
  ByteBuffer chinese;
  ASSERT_TRUE(EncryptRecordPassword("A123456789", big5, &chinese));
  EXPECT_EQ(OpenSslDecrypt("A123456789", chinese), big5);

  SecretString back;
  ASSERT_TRUE(DecryptRecordPassword("A123456789", eight, &back));
  EXPECT_EQ(back.str(), "abcdefgh");
  // Under another user's key the password does not come back.
  ASSERT_TRUE(DecryptRecordPassword("B123456789", eight, &back));
  EXPECT_NE(back.str(), "abcdefgh");
  // Nothing stored: nothing to decrypt; an empty password stores nothing.
  EXPECT_FALSE(DecryptRecordPassword("A123456789", ByteBuffer(), &back));
  EXPECT_TRUE(back.empty());
  ByteBuffer none;
  EXPECT_FALSE(EncryptRecordPassword("A123456789", "", &none));
  EXPECT_TRUE(none.empty());
}

platform::RegistryKey UserKey(const std::string& id) {
  platform::RegistryKey key;
  EXPECT_EQ(platform::CurrentRegistry().OpenKey(
                platform::RegistryKey::Root(platform::RegistryHive::kCurrentUser),
                std::string(kRegistrationRootKey) + id, &key),
            0u);
  return key;
}

TEST(RegistrationRecordTest, WriteAndReadBackWithTheRegistryLayout) {
  ByteBuffer cipher;
  ASSERT_TRUE(EncryptRecordPassword("R100000001", "secret12", &cipher));
  ASSERT_EQ(WriteRegistrationRecord("/certs/R100000001.pfx", cipher.span(), "R100000001", 2), 0);

  platform::Registry& registry = platform::CurrentRegistry();
  const platform::RegistryKey key = UserKey("R100000001");
  platform::RegistryValue value;
  ASSERT_EQ(registry.QueryValue(key, "PfxFileName", 1000, &value), 0u);
  EXPECT_EQ(value.type, platform::kRegSz);
  EXPECT_EQ(value.data, "/certs/R100000001.pfx");  // no terminating zero stored
  ASSERT_EQ(registry.QueryValue(key, "PfxPassword", 1000, &value), 0u);
  EXPECT_EQ(value.type, platform::kRegBinary);
  EXPECT_EQ(value.data, std::string(cipher.view()));
  ASSERT_EQ(registry.QueryValue(key, "RegisterMode", 1000, &value), 0u);
  EXPECT_EQ(value.type, platform::kRegDword);
  EXPECT_EQ(value.data, std::string("\x02\0\0\0", 4));

  RegistrationRecord record;
  ASSERT_EQ(ReadRegistrationRecord("R100000001", &record), 0);
  EXPECT_EQ(record.path, "/certs/R100000001.pfx");
  EXPECT_EQ(record.mode, 2);
  EXPECT_EQ(record.password.view(), cipher.view());

  // Mode 0, no password, no path: the values are deleted.
  ASSERT_EQ(WriteRegistrationRecord("", {}, "R100000001", 0), 0);
  ASSERT_EQ(ReadRegistrationRecord("R100000001", &record), 0);
  EXPECT_EQ(record.path, "");
  EXPECT_TRUE(record.password.empty());
  EXPECT_EQ(record.mode, -1);
  std::vector<platform::RegistryValueEntry> values;
  ASSERT_EQ(registry.EnumValues(UserKey("R100000001"), &values), 0u);
  EXPECT_TRUE(values.empty());

  // No record at all.
  EXPECT_EQ(ReadRegistrationRecord("R199999999", &record), 5018);
}

TEST(RegistrationRecordTest, ReadersTakeAtMost255Bytes) {
  const std::string longPath = "/" + std::string(255, 'p');
  ASSERT_EQ(WriteRegistrationRecord(longPath, {}, "R100000002", 3), 0);
  RegistrationRecord record;
  ASSERT_EQ(ReadRegistrationRecord("R100000002", &record), 0);
  EXPECT_EQ(record.path, "");  // 256 bytes: counts as absent
  EXPECT_EQ(record.mode, 3);
  const std::string fits(255, 'q');
  ASSERT_EQ(WriteRegistrationRecord(fits, {}, "R100000002", 3), 0);
  ASSERT_EQ(ReadRegistrationRecord("R100000002", &record), 0);
  EXPECT_EQ(record.path, fits);
}

TEST(RegistrationRecordTest, ProbeLeavesNoValueBehind) {
  std::string name;
  ASSERT_EQ(MakeProbeName(&name), 0);
  EXPECT_EQ(name.size(), 36u);
  EXPECT_EQ(platform::AnsiUpperCase(name), name);
  ASSERT_EQ(ProbeRegistryAccess(name), 0);
  platform::RegistryKey root;
  ASSERT_EQ(platform::CurrentRegistry().OpenKey(
                platform::RegistryKey::Root(platform::RegistryHive::kCurrentUser),
                kRegistrationRootKey, &root),
            0u);
  uint32_t type = 0;
  uint32_t size = 0;
  EXPECT_EQ(platform::CurrentRegistry().QueryValueInfo(root, name, &type, &size),
            platform::kErrorFileNotFound);
}

// A registry whose writes fail: the record cannot be written and the probe reports it.
TEST(RegistrationRecordTest, UnwritableRegistryGives5906) {
  test::ReadOnlyRegistry readOnly(platform::DefaultRegistry());
  platform::SetRegistryForTesting(&readOnly);
  EXPECT_EQ(ProbeRegistryAccess("PROBE"), 5906);
  EXPECT_EQ(WriteRegistrationRecord("/x.pfx", {}, "R100000003", 3), 5906);
  platform::SetRegistryForTesting(nullptr);
  RegistrationRecord record;
  EXPECT_EQ(ReadRegistrationRecord("R100000003", &record), 5018);
}

}  // namespace
}  // namespace zyq
