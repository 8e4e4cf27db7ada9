// HashFile reads the file in pieces through the platform port: its digests equal the one-shot
// digests of the file's bytes at every size around the piece boundary, the whole file is never
// held in memory, and what cannot be hashed keeps its result code.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <sys/stat.h>

#include <atomic>
#include <string>

#include "engine/SecurityEngine.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "tests/host/DigestReference.h"
#include "tests/support/TestEnvironment.h"

namespace zyq {
namespace {

using platform::Bstr;
using platform::SysError;

using test::ReferenceDigestHex;

std::string RandomBytes(size_t n, uint32_t seed) {
  std::string bytes(n, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (char& b : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<char>(x);
  }
  return bytes;
}

std::u16string HashFile(SecurityEngine& engine, const std::string& utf8Path, int32_t flags) {
  Bstr result = engine.HashFile(Bstr::FromView(platform::Utf8ToWide(utf8Path)), flags);
  return std::u16string(result.View());
}

// Watches how the engine reads: the piece size it asks for, and any whole-file read (which
// fails, so that a HashFile that loads the file whole cannot pass). With failAfterPieces > 0
// the reading stops with a read error after that many pieces.
class WatchingFileSystem : public platform::FileSystemWrapper {
 public:
  WatchingFileSystem() : FileSystemWrapper(platform::DefaultFileSystem()) {
    platform::SetFileSystemForTesting(this);
  }
  ~WatchingFileSystem() override { platform::SetFileSystemForTesting(nullptr); }

  SysError ReadFile(std::string_view, std::string*) override {
    ++wholeReads;
    return platform::kErrorNotEnoughMemory;
  }
  SysError ReadFileInBlocks(std::string_view path, size_t blockSize,
                            const BlockSink& sink) override {
    lastBlockSize = blockSize;
    size_t pieces = 0;
    bool stopped = false;
    const SysError err =
        target().ReadFileInBlocks(path, blockSize, [&](const unsigned char* data, size_t n) {
          if (stopped) return;
          if (failAfterPieces > 0 && pieces == failAfterPieces) {
            stopped = true;
            return;
          }
          ++pieces;
          largestPiece = std::max(largestPiece, n);
          sink(data, n);
        });
    return stopped ? platform::kErrorIoDevice : err;
  }

  std::atomic<int> wholeReads{0};
  size_t lastBlockSize = 0;
  size_t largestPiece = 0;
  size_t failAfterPieces = 0;
};

// Learns the piece size the engine reads with (a one-byte file is enough).
size_t EngineBlockSize(const std::string& dir) {
  WatchingFileSystem watch;
  SecurityEngine engine;
  test::WriteFile(dir + "/probe", "x");
  HashFile(engine, dir + "/probe", 2);
  return watch.lastBlockSize;
}

TEST(HashFileTest, EqualsTheOneShotDigestAroundThePieceBoundary) {
  const std::string dir = test::TestRoot() + "/hash-blocks";
  ::mkdir(dir.c_str(), 0700);
  const size_t block = EngineBlockSize(dir);
  // Streaming means pieces, and pieces small enough that memory stays flat.
  ASSERT_GT(block, 0u);
  ASSERT_LE(block, size_t{8} << 20);

  WatchingFileSystem watch;
  SecurityEngine engine;
  uint32_t seed = 1;
  for (size_t size : {size_t{1}, size_t{63}, size_t{64}, size_t{129}, block - 1, block, block + 1,
                      3 * block, 3 * block + 77}) {
    const std::string bytes = RandomBytes(size, seed++);
    const std::string path = dir + "/data";
    ASSERT_TRUE(test::WriteFile(path, bytes));
    EXPECT_EQ(HashFile(engine, path, 1), ReferenceDigestHex(EVP_md5(), bytes)) << size;
    EXPECT_EQ(HashFile(engine, path, 2), ReferenceDigestHex(EVP_sha1(), bytes)) << size;
    EXPECT_EQ(HashFile(engine, path, 3), ReferenceDigestHex(EVP_sha256(), bytes)) << size;
    EXPECT_EQ(HashFile(engine, path, 4), ReferenceDigestHex(EVP_sha512(), bytes)) << size;
    EXPECT_EQ(engine.GetErrorCode(), 0) << size;
  }
  EXPECT_EQ(watch.wholeReads.load(), 0) << "the file was loaded whole";
  EXPECT_LE(watch.largestPiece, block);
}

TEST(HashFileTest, CodesOfWhatCannotBeHashed) {
  SecurityEngine engine;
  const std::string dir = test::TestRoot() + "/hash-refused";
  ::mkdir(dir.c_str(), 0700);
  ASSERT_TRUE(test::WriteFile(dir + "/empty", ""));
  const std::string fifo = dir + "/pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::string path;
    int32_t code;
  };
  for (const Case& c : std::initializer_list<Case>{
           {dir + "/missing", 5902},
           {dir + "/no-folder/file", 5902},
           {dir + "/empty", 1002},    // not the digest of the empty message
           {dir, 1002},               // a folder has no bytes
           {fifo, 1002},              // a pipe without a writer: refused at once, not waited on
           {"/proc/self/mem", 1002},  // a read error
       }) {
    for (int32_t flags : {1, 2, 3, 4}) {
      EXPECT_EQ(HashFile(engine, c.path, flags), u"") << c.path << " " << flags;
      EXPECT_EQ(engine.GetErrorCode(), c.code) << c.path << " " << flags;
      EXPECT_EQ(engine.GetCapiErrorCode(), 0u) << c.path;
    }
  }
  // A success afterwards clears the code.
  ASSERT_TRUE(test::WriteFile(dir + "/abc", "abc"));
  EXPECT_EQ(HashFile(engine, dir + "/abc", 0x12), u"A9993E364706816ABA3E25717850C26C9CD0D89D");
  EXPECT_EQ(engine.GetErrorCode(), 0);
}

TEST(HashFileTest, UnreadableFileGives1002) {
  if (geteuid() == 0) GTEST_SKIP() << "root ignores file permissions";
  SecurityEngine engine;
  const std::string path = test::TestRoot() + "/hash-locked";
  ASSERT_TRUE(test::WriteFile(path, "abc"));
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  EXPECT_EQ(HashFile(engine, path, 3), u"");
  EXPECT_EQ(engine.GetErrorCode(), 1002);
  EXPECT_EQ(engine.GetCapiErrorCode(), 0u);
}

TEST(HashFileTest, ReadErrorPartWayGives1002AndNoDigestOfThePart) {
  const std::string dir = test::TestRoot() + "/hash-midway";
  ::mkdir(dir.c_str(), 0700);
  const size_t block = EngineBlockSize(dir);
  const std::string path = dir + "/data";
  ASSERT_TRUE(test::WriteFile(path, RandomBytes(2 * block + 5, 9)));
  WatchingFileSystem watch;
  SecurityEngine engine;
  for (size_t after : {size_t{1}, size_t{2}}) {
    watch.failAfterPieces = after;
    EXPECT_EQ(HashFile(engine, path, 3), u"") << after;
    EXPECT_EQ(engine.GetErrorCode(), 1002) << after;
  }
  watch.failAfterPieces = 0;
  EXPECT_EQ(HashFile(engine, path, 3).size(), 64u);
  EXPECT_EQ(engine.GetErrorCode(), 0);
}

}  // namespace
}  // namespace zyq
