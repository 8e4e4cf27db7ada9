// Signing keys are decoded once per process and used again while their container is unchanged:
// a key replaced, re-protected or deleted by another process or connection (or by an older
// version of this code writing the tables directly) is never signed with from the cache, and
// databases made before containers had a generation keep working.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

#include "platform/CryptoKeys.h"
#include "platform/posix/StateDatabase.h"
#include "platform/posix/keys/KeyCache.h"
#include "tests/platform_keys/KeyTestSupport.h"

namespace zyq::platform {
namespace {

using KeyCacheTest = test::KeyStateTest;

const std::vector<uint8_t> kSha1Prefix = test::Bytes(
    {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E, 0x03, 0x02, 0x1A, 0x05, 0x00, 0x04, 0x14});
const std::vector<uint8_t> kHash(20, 0x5A);

// Runs work in a child process (its own connection to the state database); its exit status.
int InChild(const std::function<bool()>& work) {
  // No connection may cross fork(); both sides open their own afterwards.
  posix::StateDatabase::CloseForTesting();
  const pid_t pid = fork();
  if (pid == 0) _exit(work() ? 0 : 1);
  int status = -1;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Runs SQL on a connection of its own to the state database, as another program would.
bool OtherConnection(const std::string& sql) {
  const std::string path = std::string(std::getenv("ZYQSEC_HOME")) + "/state.db";
  sqlite3* db = nullptr;
  const bool ok = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
                  sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  if (!ok) ADD_FAILURE() << sqlite3_errmsg(db);
  sqlite3_close(db);
  return ok;
}

std::vector<uint8_t> PublicKeyInfo(KeyContext& context, uint32_t keySpec) {
  std::vector<uint8_t> spki;
  EXPECT_EQ(context.ExportPublicKeyInfo(keySpec, &spki), kErrorSuccess);
  return spki;
}

// Signs kHash with SHA-1 and tells whether the signature verifies under spki.
bool SignsFor(KeyContext& context, uint32_t keySpec, const std::vector<uint8_t>& spki) {
  std::vector<uint8_t> signature;
  if (context.SignHash(keySpec, kCalgSha1, kHash, 0, &signature) != kErrorSuccess) return false;
  return test::OpenSslVerifiesRaw(spki, test::Concat(kSha1Prefix, kHash),
                                  test::Reversed(signature));
}

TEST_F(KeyCacheTest, KeyReplacedElsewhereIsNeverSignedWithFromTheCache) {
  auto context = NewContainerWithKey("signer", kAtSignature, 0);
  ASSERT_NE(context, nullptr);
  const auto first = PublicKeyInfo(*context, kAtSignature);
  ASSERT_TRUE(SignsFor(*context, kAtSignature, first));
  EXPECT_EQ(posix::CachedKeyCountForTesting(kMsEnhancedProv, "signer"), 1u);

  // Another process generates a new key of the same spec into the container.
  ASSERT_EQ(InChild([] {
              std::unique_ptr<KeyContext> other;
              return AcquireKeyContext("signer", kMsEnhancedProv, kProvRsaFull, 0, &other) ==
                         kErrorSuccess &&
                     other->GenerateKey(kAtSignature, 512u << 16) == kErrorSuccess;
            }),
            0);
  const auto second = PublicKeyInfo(*context, kAtSignature);
  ASSERT_NE(second, first);
  EXPECT_TRUE(SignsFor(*context, kAtSignature, second));

  // Another process deletes the container and makes one of the same name with a new key.
  ASSERT_EQ(InChild([] {
              std::unique_ptr<KeyContext> other;
              return AcquireKeyContext("signer", kMsEnhancedProv, kProvRsaFull, kCryptDeleteKeyset,
                                       &other) == kErrorSuccess &&
                     AcquireKeyContext("signer", kMsEnhancedProv, kProvRsaFull, kCryptNewKeyset,
                                       &other) == kErrorSuccess &&
                     other->GenerateKey(kAtSignature, 512u << 16) == kErrorSuccess;
            }),
            0);
  const auto third = PublicKeyInfo(*context, kAtSignature);
  ASSERT_NE(third, second);
  EXPECT_TRUE(SignsFor(*context, kAtSignature, third));

  // A program writing the tables directly (no code of ours) puts the key of another container
  // in place of this one's: the cached key is not signed with, and the moved key, sealed for
  // its own row, does not open in this one.
  auto donor = NewContainerWithKey("donor", kAtSignature, 0);
  ASSERT_NE(donor, nullptr);
  ASSERT_TRUE(OtherConnection(
      "UPDATE key_pairs SET (public_key, private_key) = (SELECT k.public_key, k.private_key "
      "FROM key_pairs k JOIN key_containers c ON c.id = k.container_id WHERE c.name = 'donor') "
      "WHERE container_id = (SELECT id FROM key_containers WHERE name = 'signer')"));
  std::vector<uint8_t> signature;
  EXPECT_EQ(context->SignHash(kAtSignature, kCalgSha1, kHash, 0, &signature), kNteKeysetEntryBad);
  EXPECT_EQ(posix::CachedKeyCountForTesting(kMsEnhancedProv, "signer"), 0u);
}

TEST_F(KeyCacheTest, KeyProtectedElsewhereAsksBeforeEverySignature) {
  auto context = NewContainerWithKey("guarded", kAtKeyExchange, 0);
  ASSERT_NE(context, nullptr);
  const auto spki = PublicKeyInfo(*context, kAtKeyExchange);
  ASSERT_TRUE(SignsFor(*context, kAtKeyExchange, spki));  // cached, not protected
  test::RecordingDialogHost refuse(false);
  SetDialogHostForTesting(&refuse);
  ASSERT_TRUE(OtherConnection("UPDATE key_pairs SET flags = flags | " +
                              std::to_string(kCryptUserProtected)));
  std::vector<uint8_t> signature;
  EXPECT_EQ(context->SignHash(kAtKeyExchange, kCalgSha1, kHash, 0, &signature), kErrorCancelled);
  EXPECT_EQ(refuse.asked, (std::vector<std::string>{"guarded"}));
  test::RecordingDialogHost allow(true);
  SetDialogHostForTesting(&allow);
  EXPECT_TRUE(SignsFor(*context, kAtKeyExchange, spki));
  EXPECT_TRUE(SignsFor(*context, kAtKeyExchange, spki));
  EXPECT_EQ(allow.asked.size(), 2u);
}

TEST_F(KeyCacheTest, DeletedContainerLeavesNoKeyInTheCache) {
  auto kept = NewContainerWithKey("kept", kAtSignature, 0);
  auto here = NewContainerWithKey("here", kAtSignature, 0);
  auto there = NewContainerWithKey("there", kAtKeyExchange, 0);
  ASSERT_TRUE(kept && here && there);
  ASSERT_TRUE(SignsFor(*kept, kAtSignature, PublicKeyInfo(*kept, kAtSignature)));
  ASSERT_TRUE(SignsFor(*here, kAtSignature, PublicKeyInfo(*here, kAtSignature)));
  ASSERT_TRUE(SignsFor(*there, kAtKeyExchange, PublicKeyInfo(*there, kAtKeyExchange)));
  ASSERT_EQ(posix::CachedKeyCountForTesting(kMsEnhancedProv, "here"), 1u);
  ASSERT_EQ(posix::CachedKeyCountForTesting(kMsEnhancedProv, "there"), 1u);

  // Deleted in this process: gone from the cache at once.
  std::unique_ptr<KeyContext> none;
  ASSERT_EQ(AcquireKeyContext("HERE", kMsEnhancedProv, kProvRsaFull, kCryptDeleteKeyset, &none),
            kErrorSuccess);
  EXPECT_EQ(posix::CachedKeyCountForTesting(kMsEnhancedProv, "here"), 0u);
  std::vector<uint8_t> signature;
  EXPECT_EQ(here->SignHash(kAtSignature, kCalgSha1, kHash, 0, &signature), kNteBadKeyset);

  // Deleted by another process: the next use fails as it always did and drops the key.
  ASSERT_EQ(InChild([] {
              std::unique_ptr<KeyContext> other;
              return AcquireKeyContext("there", kMsEnhancedProv, kProvRsaFull, kCryptDeleteKeyset,
                                       &other) == kErrorSuccess;
            }),
            0);
  EXPECT_EQ(there->SignHash(kAtKeyExchange, kCalgSha1, kHash, 0, &signature), kNteBadKeyset);
  EXPECT_EQ(posix::CachedKeyCountForTesting(kMsEnhancedProv, "there"), 0u);

  // A key deleted from its container by a direct write: no key, and none kept.
  ASSERT_TRUE(SignsFor(*kept, kAtSignature, PublicKeyInfo(*kept, kAtSignature)));
  ASSERT_TRUE(
      OtherConnection("DELETE FROM key_pairs WHERE container_id = "
                      "(SELECT id FROM key_containers WHERE name = 'kept')"));
  EXPECT_EQ(kept->SignHash(kAtSignature, kCalgSha1, kHash, 0, &signature), kNteNoKey);
  EXPECT_EQ(posix::CachedKeyCountForTesting(kMsEnhancedProv, "kept"), 0u);
}

TEST_F(KeyCacheTest, DatabaseWithoutGenerationsKeepsItsKeysAndGainsThem) {
  // A key imported through the current code, then its tables turned back into the earlier form.
  const auto der = test::OpenSslRsaKeyDer(1024);
  const auto spki = test::OpenSslPublicKeyInfo(der);
  KeyProvInfo link;
  ASSERT_EQ(ImportPrivateKey(der, kMsEnhancedProv, kProvRsaFull, kAtKeyExchange, 0, &link),
            kErrorSuccess);
  posix::StateDatabase::CloseForTesting();
  ASSERT_TRUE(OtherConnection(
      "DROP TRIGGER key_pairs_inserted; DROP TRIGGER key_pairs_updated;"
      "DROP TRIGGER key_pairs_deleted; ALTER TABLE key_containers DROP COLUMN generation;"));

  std::unique_ptr<KeyContext> context;
  ASSERT_EQ(AcquireKeyContext(link, &context), kErrorSuccess);
  EXPECT_TRUE(SignsFor(*context, kAtKeyExchange, spki));
  // The column is there now, and a change through it reaches the cached key (a key moved in
  // from another row, which does not open there).
  const auto other = test::OpenSslRsaKeyDer(1024);
  KeyProvInfo otherLink;
  ASSERT_EQ(ImportPrivateKey(other, kMsEnhancedProv, kProvRsaFull, kAtKeyExchange, 0, &otherLink),
            kErrorSuccess);
  ASSERT_TRUE(
      OtherConnection("UPDATE key_pairs SET private_key = (SELECT k.private_key FROM key_pairs k "
                      "JOIN key_containers c ON c.id = k.container_id WHERE c.name = '" +
                      otherLink.containerName +
                      "') WHERE container_id = (SELECT id FROM key_containers "
                      "WHERE name = '" +
                      link.containerName + "')"));
  std::vector<uint8_t> signature;
  EXPECT_EQ(context->SignHash(kAtKeyExchange, kCalgSha1, kHash, 0, &signature), kNteKeysetEntryBad);
}

}  // namespace
}  // namespace zyq::platform
