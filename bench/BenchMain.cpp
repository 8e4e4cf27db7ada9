#include <openssl/provider.h>

#include "bench/BenchSupport.h"

int main(int argc, char** argv) {
  // Single DES is in OpenSSL 3's legacy provider.
  OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
  OSSL_PROVIDER* standard = OSSL_PROVIDER_load(nullptr, "default");
  zyq::bench::RegisterDigestBenchmarks();
  zyq::bench::RegisterCipherBenchmarks();
  zyq::bench::RegisterEncodingBenchmarks();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (legacy) OSSL_PROVIDER_unload(legacy);
  if (standard) OSSL_PROVIDER_unload(standard);
  return 0;
}
