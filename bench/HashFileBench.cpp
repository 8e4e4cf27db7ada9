// HashFile over one large file: the engine's operation (reading through the platform port in
// pieces, our digests, the hex text) beside OpenSSL's EVP digest over the same file read with
// the same piece size. The file is $ZYQ_BENCH_FILE (scripts/bench.sh makes a 1 GiB one); without
// it a 64 MiB file of random bytes is written into the run's folder.
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

void Ours(benchmark::State& state, const BenchFile& file, int32_t flags) {
  SecurityEngine engine;
  const std::u16string path = platform::Utf8ToWide(file.path);
  for (auto _ : state) {
    platform::Bstr hex = engine.HashFile(platform::Bstr::FromView(path), flags);
    if (engine.GetErrorCode() != 0 || hex.Empty()) {
      state.SkipWithError("HashFile failed");
      break;
    }
    benchmark::DoNotOptimize(hex.View().data());
  }
}

void OpenSsl(benchmark::State& state, const BenchFile& file, const char* name) {
  EVP_MD* md = EVP_MD_fetch(nullptr, name, nullptr);
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  std::unique_ptr<unsigned char[]> piece(new unsigned char[kReadPiece]);
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  for (auto _ : state) {
    const int fd = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      state.SkipWithError("open failed");
      break;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    EVP_DigestInit_ex2(ctx, md, nullptr);
    ssize_t n;
    while ((n = ::read(fd, piece.get(), kReadPiece)) > 0) {
      EVP_DigestUpdate(ctx, piece.get(), static_cast<size_t>(n));
    }
    ::close(fd);
    EVP_DigestFinal_ex(ctx, out, &length);
    benchmark::DoNotOptimize(out);
  }
  EVP_MD_CTX_free(ctx);
  EVP_MD_free(md);
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
    const std::string size = std::to_string(file.size);
    benchmark::RegisterBenchmark((std::string(a.family) + "/ours/" + size).c_str(),
                                 [a](benchmark::State& s) {
                                   Ours(s, file, a.flags);
                                   s.SetBytesProcessed(s.iterations() * file.size);
                                 })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string(a.family) + "/openssl/" + size).c_str(),
                                 [a](benchmark::State& s) {
                                   OpenSsl(s, file, a.opensslName);
                                   s.SetBytesProcessed(s.iterations() * file.size);
                                 })
        ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace zyq::bench
