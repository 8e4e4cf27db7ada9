// The four digests, one whole message per iteration: our Compute (with its result buffer) beside
// OpenSSL's EVP digest with the algorithm fetched once and the context reused, the way a careful
// OpenSSL caller hashes many messages.
#include <openssl/evp.h>

#include "bench/BenchSupport.h"
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
  EVP_MD* md = EVP_MD_fetch(nullptr, name, nullptr);
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  for (auto _ : state) {
    EVP_DigestInit_ex2(ctx, md, nullptr);
    EVP_DigestUpdate(ctx, data.data(), data.size());
    EVP_DigestFinal_ex(ctx, out, &length);
    benchmark::DoNotOptimize(out);
  }
  EVP_MD_CTX_free(ctx);
  EVP_MD_free(md);
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
}

}  // namespace

void RegisterDigestBenchmarks() {
  RegisterOne<Md5Digest>("md5", "MD5");
  RegisterOne<Sha1Digest>("sha1", "SHA1");
  RegisterOne<Sha256Digest>("sha256", "SHA256");
  RegisterOne<Sha512Digest>("sha512", "SHA512");
}

}  // namespace zyq::bench
