// ImportPfxToIE: the keyed certificates of a PKCS#12 file enter "MY" linked to their keys;
// authority certificates stay out; a second import replaces rather than duplicates; a key-usage
// miss is reported even after an earlier certificate was imported.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/ResultCodes.h"
#include "engine/SecurityEngine.h"
#include "platform/CertStores.h"
#include "platform/CryptoKeys.h"
#include "tests/lifecycle/LifecycleTestSupport.h"
#include "tests/support/TestEnvironment.h"
#include "tests/ui/ScriptedDialogs.h"

namespace zyq::test {
namespace {

// Whether a key container holds the private key of the certificate.
bool KeyIsStored(const Bytes& certificate) {
  platform::CertContext context;
  if (platform::CertContext::FromEncoded(certificate, &context) != 0) return false;
  platform::KeyProvInfo link;
  return platform::FindKeyByPublicKey(context.cert().subjectPublicKeyInfo, nullptr, &link) == 0;
}

class ImportTest : public ::testing::Test {
 protected:
  // Writes a PKCS#12 file of the entries protected with "pass1234"; returns its folder.
  std::string WritePfx(const std::vector<PfxEntry>& entries, const std::string& name) {
    const std::string folder = NewWorkFolder();
    EXPECT_TRUE(WriteFile(folder + "/" + name, ToString(MakePfx(entries, "pass1234", false))));
    return folder;
  }

  Authority ca;
  SecurityEngine engine;
};

TEST_F(ImportTest, OnlyKeyedCertificatesEnterThePersonalStore) {
  const Holder wang = Issue(ca, "Wang", "critical,digitalSignature,keyEncipherment", 31);
  const std::string folder = WritePfx({{wang.cert, &wang.key}, {ca.cert, nullptr}}, "a.pfx");

  EXPECT_EQ(engine.ImportPfxToIE(Text(folder), Text("a.pfx"), Text("pass1234"), 0, 0x80), 0);
  EXPECT_EQ(PersonalStore(), std::vector<Bytes>{wang.cert});
  EXPECT_EQ(Str(engine.GetCertSubjectCN()), "Wang");

  // The certificate in "MY" reaches the key that came with the file.
  platform::CertStore my;
  ASSERT_EQ(platform::CertStore::OpenSystem(platform::kStoreMy, &my), 0u);
  std::vector<platform::CertContext> contexts;
  my.Enumerate(&contexts);
  ASSERT_EQ(contexts.size(), 1u);
  std::unique_ptr<platform::KeyContext> key;
  uint32_t keySpec = 0;
  ASSERT_EQ(platform::AcquireCertificatePrivateKey(contexts[0], &key, &keySpec), 0u);
  std::vector<uint8_t> spki;
  ASSERT_EQ(key->ExportPublicKeyInfo(keySpec, &spki), 0u);
  EXPECT_EQ(spki, contexts[0].cert().subjectPublicKeyInfo);
}

TEST_F(ImportTest, ImportingTwiceLeavesOneCopy) {
  const Holder wang = Issue(ca, "Wang", "critical,digitalSignature", 31);
  const std::string folder = WritePfx({{wang.cert, &wang.key}}, "a.pfx");
  EXPECT_EQ(engine.ImportPfxToIE(Text(folder), Text("a.pfx"), Text("pass1234"), 0, 0), 0);
  EXPECT_EQ(engine.ImportPfxToIE(Text(folder), Text("a.pfx"), Text("pass1234"), 0, 0), 0);
  EXPECT_EQ(PersonalStore().size(), 1u);
}

TEST_F(ImportTest, KeyUsageMissOnTheSecondCertificateStillReported) {
  const Holder signer = Issue(ca, "Signer", "critical,digitalSignature", 31);
  const Holder crypter = Issue(ca, "Crypter", "critical,keyEncipherment", 32);
  const std::string folder =
      WritePfx({{signer.cert, &signer.key}, {crypter.cert, &crypter.key}}, "two.pfx");

  EXPECT_EQ(engine.ImportPfxToIE(Text(folder), Text("two.pfx"), Text("pass1234"), 0, 0x80),
            result::kKeyUsageMismatch);
  EXPECT_EQ(PersonalStore(), std::vector<Bytes>{signer.cert});
  EXPECT_EQ(Str(engine.GetCertSubjectCN()), "Signer");
  // The key of the certificate in "MY" keeps its container; the other key, whose certificate
  // stayed out, leaves none behind.
  EXPECT_TRUE(KeyIsStored(signer.cert));
  EXPECT_FALSE(KeyIsStored(crypter.cert));
}

TEST_F(ImportTest, AFailedImportKeepsTheContainerItReused) {
  const Holder wang = Issue(ca, "Wang", "critical,digitalSignature", 31);
  const std::string folder = WritePfx({{wang.cert, &wang.key}}, "a.pfx");
  ASSERT_EQ(engine.ImportPfxToIE(Text(folder), Text("a.pfx"), Text("pass1234"), 0, 0), 0);
  // The same file again, asking for an encryption key: the load reuses the container of the
  // first import, which the failure must leave to the certificate in "MY".
  EXPECT_EQ(engine.ImportPfxToIE(Text(folder), Text("a.pfx"), Text("pass1234"), 0, 0x20),
            result::kKeyUsageMismatch);
  EXPECT_EQ(PersonalStore(), std::vector<Bytes>{wang.cert});
  EXPECT_TRUE(KeyIsStored(wang.cert));
}

TEST_F(ImportTest, FilesThatCannotBeImported) {
  const Holder wang = Issue(ca, "Wang", "critical,digitalSignature", 31);
  const std::string folder = WritePfx({{wang.cert, &wang.key}}, "a.pfx");
  const std::string authorityOnly = WritePfx({{ca.cert, nullptr}}, "ca.pfx");

  EXPECT_EQ(engine.ImportPfxToIE(Text(folder), Text("a.pfx"), Text("wrong-pw"), 0, 0),
            result::kPkcs12WrongPassword);
  EXPECT_EQ(engine.ImportPfxToIE(Text(folder), Text("missing.pfx"), Text("pass1234"), 0, 0),
            result::kFileNotFound);
  EXPECT_EQ(engine.ImportPfxToIE(Text(authorityOnly), Text("ca.pfx"), Text("pass1234"), 0, 0),
            result::kPrivateKeyMissing);
  EXPECT_TRUE(PersonalStore().empty());
  EXPECT_EQ(Str(engine.GetRtnCert()), "");
}

TEST_F(ImportTest, MissingPasswordIsAskedForFirst) {
  const Holder wang = Issue(ca, "Wang", "critical,digitalSignature", 31);
  const std::string folder = WritePfx({{wang.cert, &wang.key}}, "a.pfx");
  ScriptedDialogs dialogs;
  dialogs.Answer({"ok\tpassword=pass1234"});
  EXPECT_EQ(engine.ImportPfxToIE(Text(folder), Text("a.pfx"), Text(""), 0, 0), 0);
  const std::vector<std::string> transcript = dialogs.Transcript();
  ASSERT_EQ(transcript.size(), 1u);
  EXPECT_NE(transcript[0].find("\"template\": 202"), std::string::npos);
  EXPECT_EQ(PersonalStore().size(), 1u);

  dialogs.Answer({"cancel"});
  EXPECT_EQ(engine.ImportPfxToIE(Text(folder), Text("a.pfx"), Text(""), 0, 0), result::kCancelled);
}

}  // namespace
}  // namespace zyq::test
