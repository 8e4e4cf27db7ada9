// CreatePKCS10 at 2048 bits: a new key in a new container of the Enhanced provider and the
// signed request as Base64, beside OpenSSL generating the key and signing an X509_REQ for the
// same subject. Key generation dominates both and varies with the primes found, so the runs
// need many iterations.
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/EngineBenchSupport.h"
#include "engine/SecurityEngine.h"
#include "platform/Bstr.h"

namespace zyq::bench {
namespace {

using platform::Bstr;

constexpr const char* kCommonName = "A123456789";

void Ours(benchmark::State& state) {
  SecurityEngine engine;
  engine.SetProviderName(Bstr::FromAnsi("Microsoft Enhanced Cryptographic Provider v1.0"));
  engine.SetKeyBits(2048);
  for (auto _ : state) {
    Bstr request = engine.CreatePKCS10(Bstr::FromAnsi(kCommonName));
    if (request.Empty() || engine.GetErrorCode() != 0) {
      state.SkipWithError("CreatePKCS10 failed");
      break;
    }
    benchmark::DoNotOptimize(request.View().data());
  }
}

std::string OpenSslRequest() {
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_RSA_gen(2048), EVP_PKEY_free);
  std::unique_ptr<X509_REQ, decltype(&X509_REQ_free)> request(X509_REQ_new(), X509_REQ_free);
  if (!key || !request) return {};
  X509_NAME* subject = X509_REQ_get_subject_name(request.get());
  X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                             reinterpret_cast<const unsigned char*>(kCommonName), -1, -1, 0);
  X509_REQ_set_pubkey(request.get(), key.get());
  if (X509_REQ_sign(request.get(), key.get(), EVP_sha1()) <= 0) return {};
  const int n = i2d_X509_REQ(request.get(), nullptr);
  if (n <= 0) return {};
  std::vector<unsigned char> der(static_cast<size_t>(n));
  unsigned char* p = der.data();
  i2d_X509_REQ(request.get(), &p);
  std::string text(4 * ((der.size() + 2) / 3) + 1, '\0');
  text.resize(static_cast<size_t>(
      EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), der.data(), n)));
  return text;
}

void OpenSsl(benchmark::State& state) {
  for (auto _ : state) {
    std::string request = OpenSslRequest();
    if (request.empty()) {
      state.SkipWithError("OpenSSL request failed");
      break;
    }
    benchmark::DoNotOptimize(request.data());
  }
}

}  // namespace

void RegisterRequestBenchmarks() {
  // Several seconds per repetition: the spread of the prime search needs many keys.
  benchmark::RegisterBenchmark("pkcs10-2048/ours", Ours)->Unit(benchmark::kMillisecond)->MinTime(4);
  benchmark::RegisterBenchmark("pkcs10-2048/openssl", OpenSsl)
      ->Unit(benchmark::kMillisecond)
      ->MinTime(4);
}

}  // namespace zyq::bench
