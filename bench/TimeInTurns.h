// Both sides of a comparison timed in turns within one benchmark iteration, for a machine whose
// speed drifts within seconds: whatever the machine does meets both sides alike.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace zyq::bench {

// The nanoseconds work() took, or -1 when it returned false.
template <typename Work>
long long TimedNs(Work&& work) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const bool ok = work();
  const long long ns =
      std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
  return ok ? ns : -1;
}

// Times our side and OpenSSL's in turn within every iteration, the order swapped each time, so
// that both meet the same moments of a shared machine whose speed drifts within seconds. Each
// callable does its work once and returns the nanoseconds it took, or a value <= 0 when the work
// failed, which stops the benchmark with failure as its error. The benchmark's own time is ours;
// the medians of each side's times over the repetition become the counters ours_ns and
// openssl_ns (bench/report.py sets one against the other).
template <typename Ours, typename OpenSsl>
void TimeInTurns(benchmark::State& state, Ours&& ours, OpenSsl&& openssl, const char* failure) {
  std::vector<long long> oursTimes;
  std::vector<long long> opensslTimes;
  bool oursFirst = true;
  for (auto _ : state) {
    long long mine = 0;
    long long theirs = 0;
    if (oursFirst) {
      mine = ours();
      theirs = openssl();
    } else {
      theirs = openssl();
      mine = ours();
    }
    oursFirst = !oursFirst;
    if (mine <= 0 || theirs <= 0) {
      state.SkipWithError(failure);
      return;
    }
    oursTimes.push_back(mine);
    opensslTimes.push_back(theirs);
    state.SetIterationTime(static_cast<double>(mine) / 1e9);
  }
  if (oursTimes.empty()) return;
  const auto median = [](std::vector<long long>& values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return static_cast<double>(values[values.size() / 2]);
  };
  state.counters["ours_ns"] = median(oursTimes);
  state.counters["openssl_ns"] = median(opensslTimes);
}

}  // namespace zyq::bench
