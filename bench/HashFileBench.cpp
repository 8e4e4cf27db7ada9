// HashFile over one large file: the engine's operation (reading through the platform port in
// pieces, our digests, the hex text) and OpenSSL's EVP digest over the same file read with the
// same piece size, in turns. The file is $ZYQ_BENCH_FILE (scripts/bench.sh makes a 1 GiB one);
// without it a 64 MiB file of random bytes is written into the run's folder.
#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench/EngineBenchSupport.h"
#include "bench/OpenSslDigest.h"
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

// OpenSSL's digest of a file read in pieces of kReadPiece bytes into piece; false when the file
// could not be read or the digest failed.
bool DigestFile(OpenSslDigest& digest, const std::string& path, unsigned char* piece) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  bool ok = digest.Init();
  ssize_t n = 0;
  while (ok && (n = ::read(fd, piece, kReadPiece)) > 0) {
    ok = digest.Update(piece, static_cast<size_t>(n));
  }
  ::close(fd);
  return ok && n == 0 && digest.Final();
}

// The engine's HashFile and OpenSSL's digest of the file in turns (TimeInTurns); the counter
// turn_bytes holds the file's size.
void Pair(benchmark::State& state, const BenchFile& file, int32_t flags, const char* name) {
  SecurityEngine engine;
  const std::u16string path = platform::Utf8ToWide(file.path);
  OpenSslDigest openssl(name);
  std::vector<unsigned char> piece(kReadPiece);
  TimeInTurns(
      state,
      [&] {
        return TimedNs([&] {
          const platform::Bstr hex = engine.HashFile(platform::Bstr::FromView(path), flags);
          benchmark::DoNotOptimize(hex.View().data());
          return engine.GetErrorCode() == 0 && !hex.Empty();
        });
      },
      [&] { return TimedNs([&] { return DigestFile(openssl, file.path, piece.data()); }); },
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
