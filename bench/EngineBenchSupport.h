// Shared pieces of the engine benchmarks: the temporary state folder the whole run works in, and
// the registered signing user that the signing benchmarks sign for.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

namespace zyq::bench {

// The folder made for this run ($ZYQSEC_HOME, $HOME and $TMPDIR point below it).
const std::string& RunFolder();

// A user whose PKCS#12 file (made with OpenSSL: a 2048-bit RSA key and a certificate issued by
// a throw-away authority) is registered with the engine in register mode 3, so that signatures
// need no dialog. Made on first use.
struct SigningUser {
  std::string id;        // the user ID the certificate's common name carries
  std::string pfxPath;   // the PKCS#12 file
  std::string password;  // its password
};
const SigningUser& RegisteredUser();

// The text every signing benchmark signs.
inline constexpr const char* kOrderText = "BUY 2330 1000 shares @ 580.00, account 9801-1234567";

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

void RegisterHashFileBenchmarks();
void RegisterSigningBenchmarks();
void RegisterRequestBenchmarks();
void RegisterLoadBenchmarks();

}  // namespace zyq::bench
