// The engine benchmarks: HashFile, the signatures in register mode 3, CreatePKCS10 and loading
// the library, each beside the same work done with OpenSSL directly, in one process.
//
// Everything the engine stores goes to a folder made for the run: $ZYQSEC_HOME, $HOME and
// $TMPDIR are pointed at it before the engine starts, dialogs are off, and the folder is
// removed at the end.
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/EngineBenchSupport.h"

namespace zyq::bench {
namespace {

std::string g_runFolder;

bool MakeRunFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/zyq-engine-bench-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) return false;
  g_runFolder = pattern;
  std::error_code ec;
  for (const char* sub : {"/state", "/home", "/tmp"}) {
    std::filesystem::create_directories(g_runFolder + sub, ec);
    if (ec) return false;
  }
  ::setenv("ZYQSEC_HOME", (g_runFolder + "/state").c_str(), 1);
  ::setenv("HOME", (g_runFolder + "/home").c_str(), 1);
  ::setenv("TMPDIR", (g_runFolder + "/tmp").c_str(), 1);
  ::setenv("ZYQSEC_UI", "none", 1);
  ::unsetenv("XDG_DATA_HOME");
  return true;
}

}  // namespace

const std::string& RunFolder() {
  return g_runFolder;
}

}  // namespace zyq::bench

int main(int argc, char** argv) {
  if (!zyq::bench::MakeRunFolder()) {
    std::fprintf(stderr, "engine_bench: no temporary folder could be made\n");
    return 1;
  }
  zyq::bench::RegisterHashFileBenchmarks();
  zyq::bench::RegisterSigningBenchmarks();
  zyq::bench::RegisterRequestBenchmarks();
  zyq::bench::RegisterLoadBenchmarks();
  benchmark::Initialize(&argc, argv);
  int status = 0;
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    status = 1;
  } else {
    benchmark::RunSpecifiedBenchmarks();
  }
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(zyq::bench::RunFolder(), ec);
  return status;
}
