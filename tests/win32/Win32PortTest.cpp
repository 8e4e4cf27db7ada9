// The Win32 port against the system's own services: the registry, key containers, the user's
// system stores and PKCS#12 files written by openssl (make_test_data.sh). What the port writes
// (a PKCS#12 file, a SignedData, a PKCS#1 signature) is left in the data folder for openssl to
// check afterwards (check_outputs.sh). Every name is unique, so the prefix may be reused.
#include <windows.h>
// (the headers below need windows.h first)
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "platform/CertChain.h"
#include "platform/CryptMessages.h"
#include "platform/CryptoKeys.h"
#include "platform/DigestSigner.h"
#include "platform/FileSystem.h"
#include "platform/Pkcs12.h"
#include "platform/Registry.h"
#include "platform/Uuid.h"
#include "platform/common/certs/Digest.h"
#include "platform/common/certs/Pkcs12Encoding.h"
#include "platform/common/certs/Pkcs12Primitives.h"
#include "platform/win32/keys/KeyBlobs.h"

namespace zyq::platform {
namespace {

std::string DataFolder() {
  const char* dir = std::getenv("ZYQ_WIN32_TEST_DATA");
  return dir != nullptr ? dir : "";
}

Bytes ReadData(const std::string& name) {
  std::ifstream in(DataFolder() + "\\" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteData(const std::string& name, const Bytes& bytes) {
  std::ofstream out(DataFolder() + "\\" + name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::string Unique() {
  std::string uuid;
  EXPECT_EQ(NewUuidString(&uuid), kErrorSuccess);
  return uuid;
}

// Checks a PKCS#1 signature (least significant byte first, as CryptSignHash gives it) with the
// certificate's public key through CryptoAPI itself.
bool SystemVerifies(const Bytes& certificate, uint32_t hashAlg, const Bytes& content,
                    const std::vector<uint8_t>& signature) {
  PCCERT_CONTEXT cert = CertCreateCertificateContext(X509_ASN_ENCODING, certificate.data(),
                                                     static_cast<DWORD>(certificate.size()));
  HCRYPTPROV prov = 0;
  HCRYPTKEY key = 0;
  HCRYPTHASH hash = 0;
  bool ok = cert != nullptr &&
            CryptAcquireContextA(&prov, nullptr, MS_ENH_RSA_AES_PROV_A, PROV_RSA_AES,
                                 CRYPT_VERIFYCONTEXT) &&
            CryptImportPublicKeyInfo(prov, X509_ASN_ENCODING,
                                     &cert->pCertInfo->SubjectPublicKeyInfo, &key) &&
            CryptCreateHash(prov, hashAlg, 0, 0, &hash) &&
            CryptHashData(hash, content.data(), static_cast<DWORD>(content.size()), 0) &&
            CryptVerifySignatureA(hash, signature.data(), static_cast<DWORD>(signature.size()), key,
                                  nullptr, 0);
  if (hash) CryptDestroyHash(hash);
  if (key) CryptDestroyKey(key);
  if (prov) CryptReleaseContext(prov, 0);
  if (cert) CertFreeCertificateContext(cert);
  return ok;
}

class Win32Port : public testing::Test {
 protected:
  void SetUp() override {
    if (DataFolder().empty()) GTEST_SKIP() << "ZYQ_WIN32_TEST_DATA names no folder";
  }
};

CertContext DataCert(const std::string& name) {
  CertContext cert;
  EXPECT_EQ(CertContext::FromEncoded(ReadData(name), &cert), kErrorSuccess) << name;
  return cert;
}

// A certificate in one of the user's system stores for the life of the object.
class Installed {
 public:
  Installed(const char* storeName, const CertContext& cert) : cert_(cert) {
    EXPECT_EQ(CertStore::OpenSystem(storeName, &store_), kErrorSuccess);
    EXPECT_EQ(store_.Add(cert, kCertStoreAddReplaceExisting), kErrorSuccess);
  }
  ~Installed() {
    CertContext found;
    if (store_.FindExisting(cert_, &found) == kErrorSuccess) {
      EXPECT_EQ(store_.Delete(found), kErrorSuccess);
    }
  }
  Installed(const Installed&) = delete;
  Installed& operator=(const Installed&) = delete;

 private:
  CertStore store_;
  CertContext cert_;
};

CertChain Chain(const CertContext& end, const std::vector<CertContext>& extra = {},
                FileTime time = 0) {
  ChainParameters params;
  params.time = time;
  if (!extra.empty()) {
    CertStore store = CertStore::OpenMemory();
    for (const CertContext& c : extra) EXPECT_EQ(store.Add(c, kCertStoreAddAlways), kErrorSuccess);
    params.additionalStores = {store};
  }
  CertChain chain;
  EXPECT_EQ(GetCertificateChain(end, params, &chain), kErrorSuccess);
  return chain;
}

// The stamp of a file: unchanged while the file is, other after a write in place that keeps the
// size, and after another file is moved over it (a new file index).
TEST(Win32FileStamp, StaysUntilTheFileIsWrittenOrReplaced) {
  char temp[MAX_PATH];
  ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
  const std::string path = std::string(temp) + "zyq-stamp-test.bin";
  FileSystem& files = DefaultFileSystem();
  ASSERT_EQ(files.WriteFileAtomic(path, "12345"), kErrorSuccess);
  FileStamp first, again, rewritten, replaced;
  ASSERT_EQ(files.StampFile(path, &first), kErrorSuccess);
  ASSERT_EQ(files.StampFile(path, &again), kErrorSuccess);
  EXPECT_TRUE(SameStamp(first, again));
  EXPECT_EQ(first.size, 5u);
  EXPECT_FALSE(first.settled);
  Sleep(20);
  {
    std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
    out.write("54321", 5);
  }
  ASSERT_EQ(files.StampFile(path, &rewritten), kErrorSuccess);
  EXPECT_FALSE(SameStamp(first, rewritten));
  ASSERT_EQ(files.WriteFileAtomic(path, "54321"), kErrorSuccess);
  ASSERT_EQ(files.StampFile(path, &replaced), kErrorSuccess);
  EXPECT_FALSE(SameStamp(rewritten, replaced));
  FileStamp none;
  EXPECT_EQ(files.StampFile(path + ".missing", &none), kErrorFileNotFound);
  EXPECT_EQ(files.StampFile(temp, &none), kErrorAccessDenied);
  DeleteFileA(path.c_str());
}

TEST_F(Win32Port, RegistryKeepsAnsiTextAndReportsDeletedKeys) {
  Registry& reg = DefaultRegistry();
  const std::string path = "Software\\ZYQSecuritiesTests\\" + Unique();
  RegistryKey key;
  bool created = false;
  ASSERT_EQ(reg.CreateKey(RegistryKey::Root(RegistryHive::kCurrentUser), path, &key, &created),
            kErrorSuccess);
  EXPECT_TRUE(created);
  const std::string big5 = "\xA4\xA4\xA4\xE5";  // 中文 in code page 950
  ASSERT_EQ(reg.SetValue(key, "Name", kRegSz, big5), kErrorSuccess);
  ASSERT_EQ(reg.SetValue(key, "Count", kRegDword, std::string("\x05\0\0\0", 4)), kErrorSuccess);
  RegistryValue value;
  ASSERT_EQ(reg.QueryValue(key, "name", 255, &value), kErrorSuccess);  // case ignored
  EXPECT_EQ(value.type, kRegSz);
  EXPECT_EQ(value.data, big5);
  uint32_t required = 0;
  EXPECT_EQ(reg.QueryValue(key, "Name", 2, &value, &required), kErrorMoreData);
  EXPECT_EQ(required, 4u);  // the bytes as written, without a terminator
  std::vector<RegistryValueEntry> values;
  ASSERT_EQ(reg.EnumValues(key, &values), kErrorSuccess);
  ASSERT_EQ(values.size(), 2u);
  const auto named = std::find_if(values.begin(), values.end(),
                                  [](const RegistryValueEntry& e) { return e.name == "Name"; });
  ASSERT_NE(named, values.end());
  EXPECT_EQ(named->value.data, big5);

  ASSERT_EQ(reg.DeleteKeyTree(RegistryKey::Root(RegistryHive::kCurrentUser), path), kErrorSuccess);
  EXPECT_EQ(reg.QueryValue(key, "Name", 255, &value), kErrorKeyDeleted);
  RegistryKey gone;
  EXPECT_EQ(reg.OpenKey(RegistryKey::Root(RegistryHive::kCurrentUser), path, &gone),
            kErrorFileNotFound);
}

TEST_F(Win32Port, ContainerKeySignsAndIsFoundByItsPublicKey) {
  const std::string name = "zyq-test-" + Unique();
  std::unique_ptr<KeyContext> context;
  ASSERT_EQ(AcquireKeyContext(name, kMsEnhancedProv, kProvRsaFull, kCryptNewKeyset, &context),
            kErrorSuccess);
  ASSERT_EQ(context->GenerateKey(kAtSignature, (1024u << 16) | kCryptExportable), kErrorSuccess);
  KeyPairInfo info;
  ASSERT_EQ(context->GetKeyInfo(kAtSignature, &info), kErrorSuccess);
  EXPECT_EQ(info.bits, 1024u);
  EXPECT_EQ(info.flags & kCryptExportable, kCryptExportable);
  EXPECT_EQ(context->GetKeyInfo(kAtKeyExchange, &info), kNteNoKey);

  std::vector<uint8_t> spki;
  ASSERT_EQ(context->ExportPublicKeyInfo(kAtSignature, &spki), kErrorSuccess);
  KeyProvInfo found;
  ASSERT_EQ(FindKeyByPublicKey(spki, nullptr, &found), kErrorSuccess);
  EXPECT_EQ(found.containerName, name);
  EXPECT_EQ(found.keySpec, kAtSignature);

  // The private key leaves as PKCS#8 and comes back into a container of its own.
  SecretBytes pkcs8;
  ASSERT_EQ(context->ExportPrivateKeyPkcs8(kAtSignature, &pkcs8), kErrorSuccess);
  KeyProvInfo copy;
  ASSERT_EQ(ImportPrivateKey(pkcs8.bytes(), kMsEnhancedProv, kProvRsaFull, kAtKeyExchange,
                             kCryptExportable, &copy),
            kErrorSuccess);
  EXPECT_NE(copy.containerName, name);
  bool matches = false;
  ASSERT_EQ(PublicKeyMatches(copy, spki, &matches), kErrorSuccess);
  EXPECT_TRUE(matches);

  std::vector<std::string> names;
  ASSERT_EQ(context->EnumContainers(&names), kErrorSuccess);
  EXPECT_NE(std::find(names.begin(), names.end(), name), names.end());

  std::unique_ptr<KeyContext> gone;
  EXPECT_EQ(AcquireKeyContext(name, kMsEnhancedProv, kProvRsaFull, kCryptDeleteKeyset, &gone),
            kErrorSuccess);
  EXPECT_EQ(AcquireKeyContext(copy.containerName, kMsEnhancedProv, kProvRsaFull, kCryptDeleteKeyset,
                              &gone),
            kErrorSuccess);
  EXPECT_EQ(AcquireKeyContext(name, kMsEnhancedProv, kProvRsaFull, 0, &gone), kNteBadKeyset);
}

TEST_F(Win32Port, OpenSslPkcs12ImportsWithAKeyThatSigns) {
  const Bytes pfx = ReadData("user.pfx");
  const Bytes cer = ReadData("user.cer");
  ASSERT_FALSE(pfx.empty());
  ASSERT_TRUE(IsPfxBlob(pfx));
  const std::u16string password = u"pw1234";
  SysError why = 0;
  EXPECT_FALSE(VerifyPfxPassword(pfx, std::u16string_view(u"wrong"), &why));
  EXPECT_EQ(why, kErrorInvalidPassword);
  ASSERT_TRUE(VerifyPfxPassword(pfx, std::u16string_view(password), &why)) << std::hex << why;

  CertStore store;
  ASSERT_EQ(ImportPfx(pfx, std::u16string_view(password), kPfxExportable, &store), kErrorSuccess);
  std::vector<CertContext> certs;
  ASSERT_EQ(store.Enumerate(&certs), kErrorSuccess);
  ASSERT_EQ(certs.size(), 1u);
  EXPECT_EQ(certs[0].encoded(), cer);
  ASSERT_TRUE(certs[0].keyLink().has_value());
  const KeyProvInfo link = *certs[0].keyLink();
  EXPECT_EQ(link.keySpec, kAtKeyExchange);

  // Importing the file again reuses the container of the key.
  CertStore again;
  ASSERT_EQ(ImportPfx(pfx, std::u16string_view(password), kPfxExportable, &again), kErrorSuccess);
  std::vector<CertContext> certsAgain;
  ASSERT_EQ(again.Enumerate(&certsAgain), kErrorSuccess);
  ASSERT_EQ(certsAgain.size(), 1u);
  EXPECT_EQ(certsAgain[0].keyLink()->containerName, link.containerName);

  // PKCS#1 over SHA-1, checked by CryptoAPI here and by openssl afterwards.
  const std::string text = "order 2330 buy 1000 @ 512.00";
  const Bytes content(text.begin(), text.end());
  Bytes digest;
  ASSERT_TRUE(common::ComputeDigest(kCalgSha1, content, &digest));
  std::vector<uint8_t> signature;
  ASSERT_EQ(SignHashWithKey(link, kCalgSha1, digest, &signature), kErrorSuccess);
  EXPECT_TRUE(SystemVerifies(cer, kCalgSha1, content, signature));
  WriteData("content.txt", content);
  WriteData("pkcs1.sig", Bytes(signature.rbegin(), signature.rend()));

  // SignedData with the signing time, attached.
  SignedDataRequest request;
  request.content = content;
  request.signer = &certs[0].cert();
  request.signingTime = CurrentFileTime();
  request.certificates = {cer};
  Bytes signedData;
  ASSERT_EQ(EncodeSignedData(request, LinkSigner(link), &signedData), kErrorSuccess);
  WriteData("signed.p7", signedData);

  // Export with a new password; it opens again here and with openssl afterwards.
  Bytes exported;
  ASSERT_EQ(ExportPfx(store, std::u16string_view(u"pw5678"), kExportPrivateKeys, &exported),
            kErrorSuccess);
  WriteData("exported.pfx", exported);
  EXPECT_FALSE(VerifyPfxPassword(exported, std::u16string_view(password)));
  CertStore reread;
  ASSERT_EQ(ImportPfx(exported, std::u16string_view(u"pw5678"), kPfxExportable, &reread),
            kErrorSuccess);
  std::vector<CertContext> rereadCerts;
  ASSERT_EQ(reread.Enumerate(&rereadCerts), kErrorSuccess);
  ASSERT_EQ(rereadCerts.size(), 1u);
  EXPECT_EQ(rereadCerts[0].keyLink()->containerName, link.containerName);
}

// A 512-bit key whose private exponent (63 bytes) and dP (31 bytes) are shorter than their
// fields in a PRIVATEKEYBLOB, as RSAPrivateKey DER. Wine's PKCS#12 import leaves every field from
// dP on unwritten for such a key.
constexpr const char* kShortValuesKey =
    "30820139020100024100a967176b01fb1c2cd8e3711b3cd8aac387e29d937e0090e855d7998334ea16d88beee0"
    "7966540da0bcff654eff3195944b032308eed6045044b44701eb462cf30203010001023f493f7ffd9fea08fe95"
    "1c265441bd1b532659d265be5c14f169560e172da4f1bf5f62b4bfe15846e579a910cfe57148652a9a9371e0bc"
    "909d0b34baf07f9281022100c701dee2065994c780777f994a15b078c2e308af2c32c8cd3aa96fbcedb8b97302"
    "2100d9eac5d1ffeec4d5555aaafc7b56449a06cdb3f51da4db5c1b3553e4a265de810220008cb3c5e2089b4d95"
    "c03ebcf8a468b15cb06dd4b60589e26f380a93f6001d9b0220696c1ba17958309f2838c1c97d7d8198a63bf398"
    "5c6bf9b7386e77147fc01a81022100c6a4b2356e856ba4ee7ee55fbb7a6bbb13439c4ce35cc185cd2eb929eb8c"
    "2003";

TEST_F(Win32Port, Pkcs12KeyWithShortPrivateValuesImportsWhole) {
  const std::string hex = kShortValuesKey;
  Bytes rsaKey;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    rsaKey.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  SecretBytes blob, pkcs8;
  ASSERT_EQ(win32::PrivateKeyDerToBlob(rsaKey, kCalgRsaKeyx, &blob), kErrorSuccess);
  ASSERT_EQ(win32::BlobToPkcs8(blob.bytes(), &pkcs8), kErrorSuccess);

  // A self-signed certificate of the key, from a container of its own.
  KeyProvInfo maker;
  ASSERT_EQ(ImportPrivateKey(pkcs8.bytes(), kMsEnhancedProv, kProvRsaFull, kAtKeyExchange,
                             kCryptExportable, &maker),
            kErrorSuccess);
  const std::string subject = "CN=Short Values " + Unique();
  BYTE name[512];
  DWORD nameSize = sizeof name;
  ASSERT_TRUE(CertStrToNameA(X509_ASN_ENCODING, subject.c_str(), CERT_X500_NAME_STR, nullptr, name,
                             &nameSize, nullptr));
  HCRYPTPROV prov = 0;
  ASSERT_TRUE(
      CryptAcquireContextA(&prov, maker.containerName.c_str(), kMsEnhancedProv, kProvRsaFull, 0));
  CERT_NAME_BLOB nameBlob{nameSize, name};
  std::wstring container(maker.containerName.begin(), maker.containerName.end());
  CRYPT_KEY_PROV_INFO keyInfo{};
  keyInfo.pwszContainerName = container.data();
  keyInfo.dwProvType = kProvRsaFull;
  keyInfo.dwKeySpec = AT_KEYEXCHANGE;
  PCCERT_CONTEXT made = CertCreateSelfSignCertificate(prov, &nameBlob, 0, &keyInfo, nullptr,
                                                      nullptr, nullptr, nullptr);
  CryptReleaseContext(prov, 0);
  ASSERT_NE(made, nullptr);
  const Bytes cer(made->pbCertEncoded, made->pbCertEncoded + made->cbCertEncoded);
  CertFreeCertificateContext(made);

  // The file holds the key as it is; the port's import must keep every value of it.
  Bytes pfx;
  const common::Pkcs12Item item{cer, pkcs8.bytes(), u"", u""};
  ASSERT_EQ(common::EncodePkcs12({item}, std::u16string_view(u"pw1234"), common::RandomBytes, &pfx),
            kErrorSuccess);
  CertStore store;
  ASSERT_EQ(ImportPfx(pfx, std::u16string_view(u"pw1234"), kPfxExportable, &store), kErrorSuccess);
  std::vector<CertContext> certs;
  ASSERT_EQ(store.Enumerate(&certs), kErrorSuccess);
  ASSERT_EQ(certs.size(), 1u);
  ASSERT_TRUE(certs[0].keyLink().has_value());
  const KeyProvInfo link = *certs[0].keyLink();
  SecretBytes back;
  ASSERT_EQ(ExportPrivateKey(link, &back), kErrorSuccess);
  EXPECT_TRUE(back.bytes() == pkcs8.bytes());

  const std::string text = "order 2330 sell 10 @ 601.00";
  const Bytes content(text.begin(), text.end());
  Bytes digest;
  ASSERT_TRUE(common::ComputeDigest(kCalgSha1, content, &digest));
  std::vector<uint8_t> signature;
  ASSERT_EQ(SignHashWithKey(link, kCalgSha1, digest, &signature), kErrorSuccess);
  EXPECT_TRUE(SystemVerifies(cer, kCalgSha1, content, signature));
  EXPECT_EQ(DeleteKeyContainers({maker, link}), kErrorSuccess);
}

TEST_F(Win32Port, EachImportedKeyKeepsAContainerOfItsOwn) {
  const std::u16string password = u"pw1234";
  CertStore first, second;
  ASSERT_EQ(ImportPfx(ReadData("user.pfx"), std::u16string_view(password), kPfxExportable, &first),
            kErrorSuccess);
  ASSERT_EQ(
      ImportPfx(ReadData("other.pfx"), std::u16string_view(password), kPfxExportable, &second),
      kErrorSuccess);
  std::vector<CertContext> a, b;
  ASSERT_EQ(first.Enumerate(&a), kErrorSuccess);
  ASSERT_EQ(second.Enumerate(&b), kErrorSuccess);
  ASSERT_TRUE(a.size() == 1 && b.size() == 1 && a[0].keyLink() && b[0].keyLink());
  EXPECT_NE(a[0].keyLink()->containerName, b[0].keyLink()->containerName);
  // The first key still signs for its certificate after the second import.
  for (const CertContext& cert : {a[0], b[0]}) {
    bool matches = false;
    ASSERT_EQ(PublicKeyMatches(*cert.keyLink(), cert.cert().subjectPublicKeyInfo, &matches),
              kErrorSuccess);
    EXPECT_TRUE(matches);
  }
}

TEST_F(Win32Port, PersonalStoreKeepsCertificateAndLinkAcrossOpenings) {
  const Bytes cer = ReadData("user.cer");
  ASSERT_FALSE(cer.empty());
  const KeyProvInfo link{"zyq-link-" + Unique(), kMsEnhancedProv, kProvRsaFull, 0, kAtSignature};
  {
    CertStore my;
    ASSERT_EQ(CertStore::OpenSystem(kStoreMy, &my), kErrorSuccess);
    CertContext added;
    ASSERT_EQ(my.AddEncoded(cer, kCertStoreAddReplaceExisting, &added), kErrorSuccess);
    ASSERT_EQ(added.SetKeyLink(link), kErrorSuccess);
  }
  CertStore my;
  ASSERT_EQ(CertStore::OpenSystem("my", &my), kErrorSuccess);
  CertContext probe, found;
  ASSERT_EQ(CertContext::FromEncoded(cer, &probe), kErrorSuccess);
  ASSERT_EQ(my.FindExisting(probe, &found), kErrorSuccess);
  ASSERT_TRUE(found.keyLink().has_value());
  EXPECT_EQ(*found.keyLink(), link);
  EXPECT_EQ(my.Add(probe, kCertStoreAddNew), kCryptEExists);

  ASSERT_EQ(my.Delete(found), kErrorSuccess);
  CertStore reopened;
  ASSERT_EQ(CertStore::OpenSystem(kStoreMy, &reopened), kErrorSuccess);
  EXPECT_EQ(reopened.FindExisting(probe, &found), kCryptENotFound);
}

// Chains from certificates openssl issued (make_test_data.sh), through the extra stores given
// and the user's "ROOT" and "CA": partial, untrusted, complete, and the time bits per element.
TEST_F(Win32Port, ChainsFromExtraAndUserStores) {
  const CertContext root = DataCert("root.cer"), mid = DataCert("mid.cer");
  const CertContext leaf = DataCert("leaf.cer");
  CertChain chain = Chain(leaf);
  EXPECT_EQ(chain.errorStatus, kCertTrustIsPartialChain);
  EXPECT_EQ(chain.elements.size(), 1u);
  CertChain lone;
  EXPECT_EQ(GetCertificateChain(CertContext{}, {}, &lone), kEInvalidArg);

  // The issuers in an extra store only: complete, but the root is not trusted.
  chain = Chain(leaf, {mid, root});
  EXPECT_EQ(chain.errorStatus, kCertTrustIsUntrustedRoot);
  ASSERT_EQ(chain.elements.size(), 3u);
  EXPECT_EQ(chain.elements[0].errorStatus, 0u);
  EXPECT_EQ(chain.elements[2].errorStatus, kCertTrustIsUntrustedRoot);

  const Installed trusted(kStoreRoot, root);
  const Installed issuing(kStoreCa, mid);
  chain = Chain(leaf);
  EXPECT_EQ(chain.errorStatus, 0u);
  ASSERT_EQ(chain.elements.size(), 3u);
  EXPECT_EQ(chain.elements[0].cert.encoded(), leaf.encoded());
  EXPECT_EQ(chain.elements[1].cert.encoded(), mid.encoded());
  EXPECT_EQ(chain.elements[2].cert.encoded(), root.encoded());
  EXPECT_TRUE(chain.elements[2].infoStatus & kCertTrustIsSelfSigned);
  EXPECT_FALSE(chain.elements[0].infoStatus & kCertTrustIsSelfSigned);
  EXPECT_EQ(Chain(root).elements.size(), 1u);

  // The leaf is valid for a day, its issuers for ten years: ten days on, only it is out of time.
  constexpr FileTime kDay = 864000000000ull;
  chain = Chain(leaf, {}, CurrentFileTime() + 10 * kDay);
  EXPECT_EQ(chain.errorStatus, kCertTrustIsNotTimeValid);
  ASSERT_EQ(chain.elements.size(), 3u);
  EXPECT_EQ(chain.elements[0].errorStatus, kCertTrustIsNotTimeValid);
  EXPECT_EQ(chain.elements[1].errorStatus, 0u);
  EXPECT_EQ(chain.elements[2].errorStatus, 0u);
  // Before any of them was valid, every element is out of time.
  chain = Chain(leaf, {}, FileTimeFromUnixSeconds(946684800));  // 2000-01-01
  ASSERT_EQ(chain.elements.size(), 3u);
  for (const ChainElement& e : chain.elements) EXPECT_EQ(e.errorStatus, kCertTrustIsNotTimeValid);
}

// A leaf whose signature is not its named issuer's, and an issuer that says it is no CA.
TEST_F(Win32Port, ChainsWithABadSignatureOrAnIssuerThatIsNoCa) {
  const CertContext root = DataCert("root.cer"), mid = DataCert("mid.cer");
  const Installed trusted(kStoreRoot, root);
  CertChain chain = Chain(DataCert("forged.cer"), {mid});
  ASSERT_GE(chain.elements.size(), 2u);
  EXPECT_EQ(chain.elements[0].errorStatus & kCertTrustIsNotSignatureValid,
            kCertTrustIsNotSignatureValid);
  EXPECT_TRUE(chain.errorStatus & kCertTrustIsNotSignatureValid);

  chain = Chain(DataCert("under.cer"), {DataCert("clerk.cer")});
  ASSERT_EQ(chain.elements.size(), 3u);
  EXPECT_EQ(chain.elements[1].errorStatus, kCertTrustInvalidBasicConstraints);
  EXPECT_EQ(chain.errorStatus, kCertTrustInvalidBasicConstraints);
}

}  // namespace
}  // namespace zyq::platform
