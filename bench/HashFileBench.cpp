// HashFile over one large file: the engine's operation (reading through the platform port in
// pieces, our digests, the hex text) and OpenSSL's EVP digest over the same file read with the
// same piece size, in turns. The file is $ZYQ_BENCH_FILE (scripts/bench.sh makes a 1 GiB one);
// without it a 64 MiB file of random bytes is written into the run's folder.
#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <sys/stat.h>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/EngineBenchSupport.h"
#include "engine/SecurityEngine.h"
#include "platform/Bstr.h"
#include "platform/Text.h"

namespace zyq::bench {
namespace {

constexpr size_t kReadPiece = size_t{1} << 20;

// The file to hash and its size; 0 when there is none.
struct BenchFile {
  std::string path;
  int64_t size = 0;
};

BenchFile PrepareFile() {
  BenchFile file;
  if (const char* given = std::getenv("ZYQ_BENCH_FILE"); given != nullptr && *given != '\0') {
    file.path = given;
  } else {
    file.path = RunFolder() + "/hashfile.bin";
    std::FILE* out = std::fopen(file.path.c_str(), "wb");
    if (out == nullptr) return {};
    std::mt19937_64 rng(5);
    std::vector<uint64_t> piece(kReadPiece / sizeof(uint64_t));
    for (int i = 0; i < 64; ++i) {
      for (auto& word : piece) word = rng();
      std::fwrite(piece.data(), 1, kReadPiece, out);
    }
    std::fclose(out);
  }
  struct stat st {};
  if (::stat(file.path.c_str(), &st) != 0 || st.st_size <= 0) return {};
  file.size = st.st_size;
  return file;
}

// OpenSSL's digest of a file read in pieces of kReadPiece bytes, the algorithm fetched once and
// the context reused.
class OpenSslFileDigest {
 public:
  explicit OpenSslFileDigest(const char* name)
      : md_(EVP_MD_fetch(nullptr, name, nullptr)),
        ctx_(EVP_MD_CTX_new()),
        piece_(new unsigned char[kReadPiece]) {}
  ~OpenSslFileDigest() {
    EVP_MD_CTX_free(ctx_);
    EVP_MD_free(md_);
  }
  OpenSslFileDigest(const OpenSslFileDigest&) = delete;
  OpenSslFileDigest& operator=(const OpenSslFileDigest&) = delete;

  // False when the file could not be read or the digest failed.
  bool Digest(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    bool ok = EVP_DigestInit_ex2(ctx_, md_, nullptr) == 1;
    ssize_t n = 0;
    while (ok && (n = ::read(fd, piece_.get(), kReadPiece)) > 0) {
      ok = EVP_DigestUpdate(ctx_, piece_.get(), static_cast<size_t>(n)) == 1;
    }
    ::close(fd);
    unsigned int length = 0;
    ok = ok && n == 0 && EVP_DigestFinal_ex(ctx_, out_, &length) == 1;
    benchmark::DoNotOptimize(out_);
    return ok;
  }

 private:
  EVP_MD* md_;
  EVP_MD_CTX* ctx_;
  std::unique_ptr<unsigned char[]> piece_;
  unsigned char out_[EVP_MAX_MD_SIZE];
};

// The engine's HashFile and OpenSSL's digest of the file in turns (TimeInTurns); the counter
// turn_bytes holds the file's size.
void Pair(benchmark::State& state, const BenchFile& file, int32_t flags, const char* name) {
  SecurityEngine engine;
  const std::u16string path = platform::Utf8ToWide(file.path);
  OpenSslFileDigest openssl(name);
  TimeInTurns(
      state,
      [&] {
        return TimedNs([&] {
          const platform::Bstr hex = engine.HashFile(platform::Bstr::FromView(path), flags);
          benchmark::DoNotOptimize(hex.View().data());
          return engine.GetErrorCode() == 0 && !hex.Empty();
        });
      },
      [&] { return TimedNs([&] { return openssl.Digest(file.path); }); },
      "HashFile or OpenSSL's digest failed");
  state.counters["turn_bytes"] = static_cast<double>(file.size);
}

}  // namespace

void RegisterHashFileBenchmarks() {
  static const BenchFile file = PrepareFile();
  if (file.size == 0) {
    std::fprintf(stderr, "engine_bench: no file to hash; HashFile benchmarks left out\n");
    return;
  }
  struct Algorithm {
    const char* family;
    int32_t flags;
    const char* opensslName;
  };
  for (const Algorithm& a :
       {Algorithm{"hashfile-md5", 1, "MD5"}, Algorithm{"hashfile-sha1", 2, "SHA1"},
        Algorithm{"hashfile-sha256", 3, "SHA256"}, Algorithm{"hashfile-sha512", 4, "SHA512"}}) {
    const std::string name = std::string(a.family) + "/pair/" + std::to_string(file.size);
    benchmark::RegisterBenchmark(
        name.c_str(), [a](benchmark::State& s) { Pair(s, file, a.flags, a.opensslName); })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace zyq::bench
