// Shared pieces of the codec benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace zyq::bench {

// The message sizes every throughput benchmark runs at.
inline const std::vector<std::int64_t> kSizes = {64, 4096, 1 << 20};

inline std::vector<unsigned char> RandomBytes(std::size_t n, std::uint32_t seed = 1) {
  std::mt19937 rng(seed);
  std::vector<unsigned char> out(n);
  for (auto& b : out) b = static_cast<unsigned char>(rng());
  return out;
}

// Registers one benchmark under "<family>/<side>/<size>" for every size; side is "ours",
// "ours-portable" or "openssl".
template <typename Fn>
void RegisterSizes(const char* family, const char* side, Fn fn,
                   const std::vector<std::int64_t>& sizes = kSizes) {
  for (std::int64_t size : sizes) {
    const std::string name = std::string(family) + "/" + side + "/" + std::to_string(size);
    benchmark::RegisterBenchmark(name.c_str(), [fn, size](benchmark::State& state) {
      fn(state, static_cast<std::size_t>(size));
      state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * size);
    });
  }
}

void RegisterDigestBenchmarks();
void RegisterCipherBenchmarks();
void RegisterEncodingBenchmarks();

}  // namespace zyq::bench
