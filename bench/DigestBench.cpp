// The four digests, one whole message per iteration: our Compute (with its result buffer) beside
// OpenSSL's EVP digest with the algorithm fetched once and the context reused, the way a careful
// OpenSSL caller hashes many messages. The pair benchmarks time the two in turns.
#include <algorithm>

#include "bench/BenchSupport.h"
#include "bench/OpenSslDigest.h"
#include "bench/TimeInTurns.h"
#include "codec/CpuDispatch.h"
#include "codec/Md5Digest.h"
#include "codec/Sha1Digest.h"
#include "codec/Sha256Digest.h"
#include "codec/Sha512Digest.h"

namespace zyq::bench {
namespace {

template <typename D>
void Ours(benchmark::State& state, std::size_t size, bool portable) {
  const auto data = RandomBytes(size);
  codec::SetPortableOnly(portable);
  D digest;
  for (auto _ : state) {
    digest.Compute(data.data(), data.size());
    benchmark::DoNotOptimize(digest.result().data());
  }
  codec::SetPortableOnly(false);
}

void OpenSsl(benchmark::State& state, std::size_t size, const char* name) {
  const auto data = RandomBytes(size);
  OpenSslDigest digest(name);
  for (auto _ : state) digest.Compute(data.data(), data.size());
}

// Both sides in turns (TimeInTurns), each turn hashing the message as many times as make about
// 256 KiB, so that a turn lasts far longer than reading the clock. The counter turn_bytes holds
// the bytes of one turn.
template <typename D>
void Pair(benchmark::State& state, std::size_t size, const char* name) {
  const auto data = RandomBytes(size);
  const std::size_t times = std::max<std::size_t>(1, (std::size_t{1} << 18) / size);
  D ours;
  OpenSslDigest openssl(name);
  TimeInTurns(
      state,
      [&] {
        return TimedNs([&] {
          for (std::size_t i = 0; i < times; ++i) {
            ours.Compute(data.data(), data.size());
            benchmark::DoNotOptimize(ours.result().data());
          }
          return true;
        });
      },
      [&] {
        return TimedNs([&] {
          bool ok = true;
          for (std::size_t i = 0; i < times; ++i)
            ok = openssl.Compute(data.data(), data.size()) && ok;
          return ok;
        });
      },
      "a digest failed");
  state.counters["turn_bytes"] = static_cast<double>(size * times);
}

template <typename D>
void RegisterOne(const char* family, const char* opensslName) {
  RegisterSizes(family, "ours", [](benchmark::State& s, std::size_t n) { Ours<D>(s, n, false); });
  if (codec::CpuHasShaExtensions() || codec::CpuHasAvx2Bmi2()) {
    RegisterSizes(family, "ours-portable",
                  [](benchmark::State& s, std::size_t n) { Ours<D>(s, n, true); });
  }
  RegisterSizes(family, "openssl",
                [opensslName](benchmark::State& s, std::size_t n) { OpenSsl(s, n, opensslName); });
  for (std::int64_t size : kSizes) {
    const std::string name = std::string(family) + "/pair/" + std::to_string(size);
    benchmark::RegisterBenchmark(name.c_str(), [opensslName, size](benchmark::State& s) {
      Pair<D>(s, static_cast<std::size_t>(size), opensslName);
    })->UseManualTime();
  }
}

}  // namespace

void RegisterDigestBenchmarks() {
  RegisterOne<Md5Digest>("md5", "MD5");
  RegisterOne<Sha1Digest>("sha1", "SHA1");
  RegisterOne<Sha256Digest>("sha256", "SHA256");
  RegisterOne<Sha512Digest>("sha512", "SHA512");
}

}  // namespace zyq::bench
