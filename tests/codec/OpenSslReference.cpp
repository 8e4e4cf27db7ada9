#include "tests/codec/OpenSslReference.h"

#include <openssl/evp.h>
#include <openssl/provider.h>

#include "platform/posix/OpenSslPtr.h"

namespace zyq::test {
namespace {

using platform::posix::OpenSslPtr;

// Single DES lives in the legacy provider in OpenSSL 3; load it (with the default one) once,
// and unload both when the process ends.
struct Providers {
  OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
  OSSL_PROVIDER* fallback = OSSL_PROVIDER_load(nullptr, "default");
  ~Providers() {
    if (legacy) OSSL_PROVIDER_unload(legacy);
    if (fallback) OSSL_PROVIDER_unload(fallback);
  }
};

void LoadProviders() {
  static const Providers providers;
}

}  // namespace

Bytes RandomBytes(std::size_t n, std::uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<unsigned char>(rng());
  return out;
}

Bytes ReferenceDigest(const char* name, const unsigned char* data, std::size_t n) {
  LoadProviders();
  const OpenSslPtr<EVP_MD> md(EVP_MD_fetch(nullptr, name, nullptr));
  if (!md) return {};
  Bytes out(EVP_MAX_MD_SIZE);
  unsigned int length = 0;
  static const unsigned char kNothing = 0;
  if (EVP_Digest(n ? data : &kNothing, n, out.data(), &length, md.get(), nullptr) != 1) return {};
  out.resize(length);
  return out;
}

Bytes ReferenceCbc(const char* cipherName, bool encrypt, bool padding, const Bytes& key,
                   const Bytes& data, bool* ok) {
  LoadProviders();
  *ok = false;
  const OpenSslPtr<EVP_CIPHER> cipher(EVP_CIPHER_fetch(nullptr, cipherName, nullptr));
  const OpenSslPtr<EVP_CIPHER_CTX> ctx(EVP_CIPHER_CTX_new());
  if (!cipher || !ctx) return {};
  const unsigned char iv[8] = {};
  if (EVP_CipherInit_ex2(ctx.get(), cipher.get(), key.data(), iv, encrypt ? 1 : 0, nullptr) != 1) {
    return {};
  }
  EVP_CIPHER_CTX_set_padding(ctx.get(), padding ? 1 : 0);
  Bytes out(data.size() + 16);
  int n1 = 0, n2 = 0;
  if (EVP_CipherUpdate(ctx.get(), out.data(), &n1, data.data(), static_cast<int>(data.size())) !=
      1) {
    return {};
  }
  if (EVP_CipherFinal_ex(ctx.get(), out.data() + n1, &n2) != 1) return {};
  out.resize(static_cast<std::size_t>(n1 + n2));
  *ok = true;
  return out;
}

std::string ReferenceBase64(const unsigned char* data, std::size_t n) {
  std::string out(4 * ((n + 2) / 3) + 1, '\0');
  const int length =
      EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data, static_cast<int>(n));
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::string ReferenceBase64Lines(const unsigned char* data, std::size_t n) {
  const OpenSslPtr<EVP_ENCODE_CTX> ctx(EVP_ENCODE_CTX_new());
  EVP_EncodeInit(ctx.get());
  std::string out(n * 2 + 80, '\0');
  int n1 = 0, n2 = 0;
  EVP_EncodeUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &n1, data,
                   static_cast<int>(n));
  EVP_EncodeFinal(ctx.get(), reinterpret_cast<unsigned char*>(out.data()) + n1, &n2);
  out.resize(static_cast<std::size_t>(n1 + n2));
  return out;
}

}  // namespace zyq::test
