// Loading the library: every iteration starts bench_probe twice, fresh processes, one that
// dlopens libZYQSecuritiesATL.so and makes its first call, GetDllVersion (the engine is
// constructed during the load), and one that dlopens libcrypto and initialises it. The time is the
// probe's own, from before dlopen to after the first call, so starting the process is not counted
// on either side.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "bench/EngineBenchSupport.h"

extern char** environ;

namespace zyq::bench {
namespace {

// Runs the probe with the arguments; its printed nanoseconds, or -1.
long long RunProbe(const std::vector<std::string>& arguments) {
  int pipeFds[2];
  // Close-on-exec: a probe started from another thread never inherits this pipe (the dup2 onto
  // the child's standard output clears the flag there).
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  std::vector<char*> argv;
  std::string probe = ZYQ_BENCH_PROBE;
  argv.push_back(probe.data());
  std::vector<std::string> copies = arguments;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, probe.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  std::string output;
  char buffer[256];
  ssize_t n;
  while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) output.append(buffer, n);
  ::close(pipeFds[0]);
  if (spawned != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::atoll(output.c_str());
}

// Both probes in turn, the order swapped every iteration (TimeInTurns); the benchmark's own
// time is ours.
void LoadPair(benchmark::State& state) {
  const std::vector<std::string> oursArguments = {"load-ours", ZYQ_BENCH_LIBRARY};
  const std::vector<std::string> opensslArguments = {"load-openssl"};
  TimeInTurns(
      state, [&] { return RunProbe(oursArguments); }, [&] { return RunProbe(opensslArguments); },
      "the probe failed");
}

}  // namespace

void RegisterLoadBenchmarks() {
  benchmark::RegisterBenchmark("load/pair", LoadPair)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
}

}  // namespace zyq::bench
