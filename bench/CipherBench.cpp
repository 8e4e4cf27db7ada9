// DES and triple DES in CBC with PKCS#5 padding, one whole message per iteration. Both sides
// build their key schedules in every iteration, as one Encrypt call of DesCipher does: our
// Encrypt (into its output buffer) beside OpenSSL's EVP init, update and final.
#include <openssl/evp.h>

#include <cstdint>

#include "bench/BenchSupport.h"
#include "codec/DesCipher.h"

namespace zyq::bench {
namespace {

void Ours(benchmark::State& state, std::size_t size, std::uint32_t algorithm, int keyLength,
          bool encrypt) {
  const auto key = RandomBytes(static_cast<std::size_t>(keyLength), 2);
  auto data = RandomBytes(size, 3);
  DesCipher cipher;
  cipher.SetAlgorithm(algorithm);
  cipher.SetKey(key.data(), keyLength);
  if (!encrypt) {
    cipher.Encrypt(data.data(), static_cast<int>(data.size()));
    data.assign(cipher.GetOutputData(), cipher.GetOutputData() + cipher.GetOutputLength());
  }
  for (auto _ : state) {
    const bool ok = encrypt ? cipher.Encrypt(data.data(), static_cast<int>(data.size()))
                            : cipher.Decrypt(data.data(), static_cast<int>(data.size()));
    benchmark::DoNotOptimize(ok);
  }
}

void OpenSsl(benchmark::State& state, std::size_t size, const char* name, int keyLength,
             bool encrypt) {
  const auto key = RandomBytes(static_cast<std::size_t>(keyLength), 2);
  auto data = RandomBytes(size, 3);
  EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, name, nullptr);
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  const unsigned char iv[8] = {};
  std::vector<unsigned char> out(size + 16);
  int n1 = 0, n2 = 0;
  if (!encrypt) {
    EVP_CipherInit_ex2(ctx, cipher, key.data(), iv, 1, nullptr);
    EVP_CipherUpdate(ctx, out.data(), &n1, data.data(), static_cast<int>(data.size()));
    EVP_CipherFinal_ex(ctx, out.data() + n1, &n2);
    data.assign(out.begin(), out.begin() + n1 + n2);
  }
  for (auto _ : state) {
    EVP_CipherInit_ex2(ctx, cipher, key.data(), iv, encrypt ? 1 : 0, nullptr);
    EVP_CipherUpdate(ctx, out.data(), &n1, data.data(), static_cast<int>(data.size()));
    EVP_CipherFinal_ex(ctx, out.data() + n1, &n2);
    benchmark::DoNotOptimize(out.data());
  }
  EVP_CIPHER_CTX_free(ctx);
  EVP_CIPHER_free(cipher);
}

void RegisterOne(const char* family, std::uint32_t algorithm, const char* name, int keyLength,
                 bool encrypt) {
  RegisterSizes(family, "ours", [=](benchmark::State& s, std::size_t n) {
    Ours(s, n, algorithm, keyLength, encrypt);
  });
  RegisterSizes(family, "openssl", [=](benchmark::State& s, std::size_t n) {
    OpenSsl(s, n, name, keyLength, encrypt);
  });
}

}  // namespace

void RegisterCipherBenchmarks() {
  RegisterOne("des-encrypt", DesCipher::kCalgDes, "DES-CBC", 8, true);
  RegisterOne("des-decrypt", DesCipher::kCalgDes, "DES-CBC", 8, false);
  RegisterOne("3des-encrypt", DesCipher::kCalg3Des, "DES-EDE3-CBC", 24, true);
  RegisterOne("3des-decrypt", DesCipher::kCalg3Des, "DES-EDE3-CBC", 24, false);
}

}  // namespace zyq::bench
