// A trading program signs every order: many signatures in register mode 3 must not leave a
// trace in the user's state. After the first signature (which may settle what the registration
// left), the state folder keeps its size and the providers keep their key containers.
//
// Signatures after the first use the file as the engine opened it while its bytes stay the
// same; a file replaced, a key container deleted or a key imported again with other flags make
// the engine open the file anew, as the first signature did.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "codec/ByteBuffer.h"
#include "engine/SecurityEngine.h"
#include "platform/CryptoKeys.h"
#include "platform/FileSystem.h"
#include "platform/Pkcs12.h"
#include "platform/Providers.h"
#include "platform/TestAuthority.h"
#include "platform/Text.h"
#include "tests/registration/PfxFiles.h"
#include "tests/support/TestEnvironment.h"

namespace zyq {
namespace {

using platform::Bstr;

// The sanitizers make every signature several times slower; the leak would show as well in a
// smaller count, so that build signs fewer.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSignatures = 200;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kSignatures = 200;
#else
constexpr int kSignatures = 1000;
#endif
#else
constexpr int kSignatures = 1000;
#endif

constexpr int32_t kSignAnsiText = 0x800;
constexpr int32_t kPkcs7SigningTime = 0x2000;
constexpr int32_t kPkcs1Base64 = 0x100;

// Every file of the state folder ($ZYQSEC_HOME) with its size.
std::map<std::string, uintmax_t> StateFiles() {
  std::map<std::string, uintmax_t> files;
  const char* home = std::getenv("ZYQSEC_HOME");
  if (home == nullptr) return files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(home)) {
    if (entry.is_regular_file()) files[entry.path().string()] = entry.file_size();
  }
  return files;
}

// The key containers of every installed provider, as "provider/container".
std::vector<std::string> KeyContainers() {
  std::vector<std::string> all;
  platform::ProviderInfo provider;
  for (uint32_t i = 0; platform::EnumProvider(i, &provider) == platform::kErrorSuccess; ++i) {
    std::unique_ptr<platform::KeyContext> context;
    if (platform::AcquireKeyContext("", provider.name, provider.type, platform::kCryptVerifyContext,
                                    &context) != platform::kErrorSuccess) {
      ADD_FAILURE() << "no context for " << provider.name;
      continue;
    }
    std::vector<std::string> names;
    EXPECT_EQ(context->EnumContainers(&names), platform::kErrorSuccess);
    for (const std::string& name : names) all.push_back(provider.name + "/" + name);
  }
  return all;
}

TEST(RepeatedSigningTest, ManySignaturesLeaveTheStateAsTheFirstLeftIt) {
  const test::UserPfx pfx = test::MakeUserPfx({.commonName = "A523456789"});
  ASSERT_FALSE(pfx.path.empty());
  const size_t containersBefore = KeyContainers().size();
  SecurityEngine engine;
  ASSERT_EQ(engine.RegisterPfx(Bstr::FromView(test::U16(pfx.folder)),
                               Bstr::FromView(test::U16(pfx.fileName)), Bstr::FromAnsi("pass1234"),
                               3, 0, 0),
            0);
  auto id = [] { return Bstr::FromAnsi("A523456789"); };
  auto order = [] { return Bstr::FromAnsi("BUY 2330 1000 @ 580.00"); };
  auto sign = [&](int i) {
    return i % 2 == 0 ? engine.SignPkcs7(id(), order(), kSignAnsiText | kPkcs7SigningTime, 0)
                      : engine.SignPkcs1(id(), order(), kSignAnsiText | kPkcs1Base64, 0);
  };
  ASSERT_FALSE(sign(0).Empty());
  ASSERT_FALSE(sign(1).Empty());
  ASSERT_EQ(engine.GetErrorCode(), 0);
  const auto filesAfterFirst = StateFiles();
  const auto containersAfterFirst = KeyContainers();
  ASSERT_FALSE(filesAfterFirst.empty());
  ASSERT_EQ(containersAfterFirst.size(), containersBefore + 1)
      << "the registered file's key, in one container";

  int failures = 0;
  for (int i = 2; i < kSignatures; ++i) {
    if (sign(i).Empty() || engine.GetErrorCode() != 0) ++failures;
  }
  EXPECT_EQ(failures, 0);

  // A second engine (another program of the same user) signs too, from the record.
  SecurityEngine other;
  EXPECT_FALSE(other.SignPkcs7(id(), order(), 0, 0).Empty());
  EXPECT_EQ(other.GetErrorCode(), 0);

  EXPECT_EQ(StateFiles(), filesAfterFirst);
  EXPECT_EQ(KeyContainers(), containersAfterFirst);
}

// Counts the whole-file reads of one path.
class CountingFileSystem : public platform::FileSystemWrapper {
 public:
  explicit CountingFileSystem(std::string path)
      : FileSystemWrapper(platform::DefaultFileSystem()), path_(std::move(path)) {
    platform::SetFileSystemForTesting(this);
  }
  ~CountingFileSystem() override { platform::SetFileSystemForTesting(nullptr); }
  platform::SysError ReadFile(std::string_view path, std::string* bytes) override {
    if (path == path_) ++reads;
    return target().ReadFile(path, bytes);
  }
  std::atomic<int> reads{0};

 private:
  std::string path_;
};

std::vector<uint8_t> Base64Bytes(const Bstr& text) {
  ByteBuffer buffer;
  if (!buffer.DecodeBase64(text.ToAnsi().c_str())) return {};
  return std::vector<uint8_t>(buffer.data(), buffer.data() + buffer.size());
}

// The DER bytes of a PEM certificate file.
std::vector<uint8_t> CertificateDer(const std::string& pemPath) {
  const std::string der = pemPath + ".der";
  if (test::OpenSsl("x509 -in '" + pemPath + "' -outform DER -out '" + der + "'") != 0) return {};
  const std::string bytes = test::ReadFile(der);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

class SigningFileReuseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pfx_ = test::MakeUserPfx({.commonName = "A623456789"});
    ASSERT_FALSE(pfx_.path.empty());
    ASSERT_EQ(engine_.RegisterPfx(Bstr::FromView(test::U16(pfx_.folder)),
                                  Bstr::FromView(test::U16(pfx_.fileName)),
                                  Bstr::FromAnsi("pass1234"), 3, 0, 0),
              0);
    // The file the registration points at (its copy in the default certificate folder).
    ASSERT_EQ(engine_.QueryUserInfo(Bstr::FromAnsi("A623456789")), 0);
    registered_ =
        engine_.GetRegisterPfxFilePath().ToAnsi() + "/" + engine_.GetRegisterPfxFileName().ToAnsi();
    registeredUtf8_ = platform::AnsiToUtf8(registered_);
    ASSERT_TRUE(std::filesystem::exists(registeredUtf8_)) << registeredUtf8_;
  }
  // A PKCS#1 signature over "order"; the signer certificate (DER), and whether the signature
  // verifies with it. Empty when the signature failed.
  std::vector<uint8_t> SignAndCheck() {
    const Bstr signature = engine_.SignPkcs1(Bstr::FromAnsi("A623456789"), Bstr::FromAnsi("order"),
                                             kSignAnsiText | kPkcs1Base64, 0);
    if (signature.Empty() || engine_.GetErrorCode() != 0) return {};
    const std::vector<uint8_t> signer = Base64Bytes(engine_.GetRtnCert());
    const std::vector<uint8_t> value = Base64Bytes(signature);  // most significant byte first
    const std::string content = "order";
    bool valid = false;
    EXPECT_EQ(
        platform::VerifyPkcs1Signature(
            signer, platform::kCalgSha1,
            platform::ByteView(reinterpret_cast<const uint8_t*>(content.data()), content.size()),
            value, &valid),
        platform::kErrorSuccess);
    EXPECT_TRUE(valid) << "the signature does not verify with the returned certificate";
    return signer;
  }

  test::UserPfx pfx_;
  SecurityEngine engine_;
  std::string registered_;      // ANSI, as the engine reads it
  std::string registeredUtf8_;  // as the system names it
};

TEST_F(SigningFileReuseTest, UnchangedFileIsReadOnceForEachSignature) {
  ASSERT_FALSE(SignAndCheck().empty());
  CountingFileSystem counting(registered_);
  for (int i = 0; i < 5; ++i) ASSERT_FALSE(SignAndCheck().empty()) << i;
  // One read to see that the bytes are the ones opened before; no new opening and import.
  EXPECT_EQ(counting.reads.load(), 5);
}

TEST_F(SigningFileReuseTest, SettledFileIsKnownByItsStampUntilItIsWritten) {
  const std::vector<uint8_t> first = SignAndCheck();
  ASSERT_EQ(first, CertificateDer(pfx_.certPem));
  // The registration has just written the file: its stamp settles two seconds later.
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  CountingFileSystem counting(registered_);
  for (int i = 0; i < 3; ++i) ASSERT_FALSE(SignAndCheck().empty()) << i;
  // The first signature compares the bytes once more, under a settled stamp; the others only
  // look at the stamp.
  EXPECT_EQ(counting.reads.load(), 1);
  // Written in place (same inode, same size) with another file's bytes: the stamp's times
  // change, so the kept store is not used (the damaged file fails, or signs with its new key).
  const test::UserPfx renewed = test::MakeUserPfx({.commonName = "A623456789"});
  ASSERT_FALSE(renewed.path.empty());
  std::string bytes = test::ReadFile(renewed.path);
  bytes.resize(std::filesystem::file_size(registeredUtf8_));
  {
    std::fstream out(registeredUtf8_, std::ios::in | std::ios::out | std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  EXPECT_NE(SignAndCheck(), first);
}

TEST_F(SigningFileReuseTest, ReplacedFileSignsWithItsNewKey) {
  const std::vector<uint8_t> first = SignAndCheck();
  ASSERT_EQ(first, CertificateDer(pfx_.certPem));
  const test::UserPfx renewed = test::MakeUserPfx({.commonName = "A623456789"});
  ASSERT_FALSE(renewed.path.empty());
  std::filesystem::copy_file(renewed.path, registeredUtf8_,
                             std::filesystem::copy_options::overwrite_existing);
  const std::vector<uint8_t> second = SignAndCheck();
  EXPECT_EQ(second, CertificateDer(renewed.certPem));
  EXPECT_NE(second, first);
}

TEST_F(SigningFileReuseTest, DeletedKeyContainerIsImportedAgain) {
  ASSERT_FALSE(SignAndCheck().empty());
  const size_t containers = KeyContainers().size();
  // The container of the signing key: the one the returned certificate's key is in.
  const std::vector<uint8_t> signer = SignAndCheck();
  platform::CertContext context;
  ASSERT_EQ(platform::CertContext::FromEncoded(signer, &context), platform::kErrorSuccess);
  platform::KeyProvInfo link;
  ASSERT_EQ(platform::FindKeyByPublicKey(context.cert().subjectPublicKeyInfo, nullptr, &link),
            platform::kErrorSuccess);
  std::unique_ptr<platform::KeyContext> none;
  ASSERT_EQ(platform::AcquireKeyContext(link.containerName, link.providerName, link.providerType,
                                        platform::kCryptDeleteKeyset, &none),
            platform::kErrorSuccess);
  EXPECT_EQ(KeyContainers().size(), containers - 1);
  EXPECT_EQ(SignAndCheck(), signer);
  EXPECT_EQ(KeyContainers().size(), containers);
}

TEST_F(SigningFileReuseTest, KeyImportedAgainAsProtectedIsImportedAsTheSignatureNeedsIt) {
  ASSERT_FALSE(SignAndCheck().empty());
  const size_t containers = KeyContainers().size();
  // Another program imports the same file with a user-protected key: the same container now
  // asks the user at every use. The signature imports the file again, as it always did, and
  // signs without a question (none could be answered here).
  const std::string file = test::ReadFile(registeredUtf8_);
  platform::CertStore imported;
  ASSERT_EQ(platform::ImportPfx(
                platform::ByteView(reinterpret_cast<const uint8_t*>(file.data()), file.size()),
                std::u16string_view(u"pass1234"),
                platform::kPfxExportable | platform::kPfxUserProtected, &imported),
            platform::kErrorSuccess);
  EXPECT_FALSE(SignAndCheck().empty());
  EXPECT_EQ(KeyContainers().size(), containers);
}

}  // namespace
}  // namespace zyq
