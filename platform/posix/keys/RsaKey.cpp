#include "platform/posix/keys/RsaKey.h"

#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <climits>
#include <mutex>

#include "platform/posix/OpenSslPtr.h"

namespace zyq::platform::posix {
namespace {

// Drops OpenSSL's queued errors so that a failure here does not surface in a later, unrelated
// call; returns the error to report.
SysError Fail(SysError error) {
  ERR_clear_error();
  return error;
}

OpenSslPtr<EVP_PKEY> LoadPrivateKey(std::span<const uint8_t> der) {
  if (der.empty() || der.size() > static_cast<size_t>(LONG_MAX)) return nullptr;
  const unsigned char* p = der.data();
  OpenSslPtr<EVP_PKEY> key(d2i_AutoPrivateKey(nullptr, &p, static_cast<long>(der.size())));
  if (key && p != der.data() + der.size()) key.reset();
  return key;
}

// A context that signs with key, PKCS#1 v1.5 padding; null when OpenSSL refuses.
OpenSslPtr<EVP_PKEY_CTX> PrepareSigning(EVP_PKEY* key) {
  OpenSslPtr<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
  if (!ctx || EVP_PKEY_sign_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1) {
    return nullptr;
  }
  return ctx;
}

OpenSslPtr<BIGNUM> GetBn(const EVP_PKEY* key, const char* name) {
  BIGNUM* bn = nullptr;
  if (EVP_PKEY_get_bn_param(key, name, &bn) != 1) return nullptr;
  return OpenSslPtr<BIGNUM>(bn);
}

// Fills the record from a loaded key: PKCS#8 form, RSAPublicKey form and length.
SysError RecordFromKey(EVP_PKEY* key, RsaKeyRecord* record) {
  const int bits = EVP_PKEY_get_bits(key);
  if (bits <= 0) return Fail(kNteBadKey);

  OpenSslPtr<PKCS8_PRIV_KEY_INFO> info(EVP_PKEY2PKCS8(key));
  if (!info) return Fail(kNteFail);
  const int privateLength = i2d_PKCS8_PRIV_KEY_INFO(info.get(), nullptr);
  if (privateLength <= 0) return Fail(kNteFail);
  SecretBytes pkcs8(std::vector<uint8_t>(static_cast<size_t>(privateLength)));
  unsigned char* out = pkcs8.bytes().data();
  if (i2d_PKCS8_PRIV_KEY_INFO(info.get(), &out) != privateLength) return Fail(kNteFail);

  const int publicLength = i2d_PublicKey(key, nullptr);
  if (publicLength <= 0) return Fail(kNteFail);
  std::vector<uint8_t> publicKey(static_cast<size_t>(publicLength));
  out = publicKey.data();
  if (i2d_PublicKey(key, &out) != publicLength) return Fail(kNteFail);

  record->pkcs8 = std::move(pkcs8);
  record->publicKey = std::move(publicKey);
  record->bits = static_cast<uint32_t>(bits);
  return kErrorSuccess;
}

}  // namespace

SysError GenerateRsaKey(uint32_t bits, RsaKeyRecord* key) {
  OpenSslPtr<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_keygen_bits(ctx.get(), static_cast<int>(bits)) != 1) {
    return Fail(kNteFail);
  }
  EVP_PKEY* raw = nullptr;
  if (EVP_PKEY_generate(ctx.get(), &raw) != 1) return Fail(kNteFail);
  OpenSslPtr<EVP_PKEY> generated(raw);
  return RecordFromKey(generated.get(), key);
}

SysError ReadRsaPrivateKey(std::span<const uint8_t> der, uint32_t minBits, uint32_t maxBits,
                           RsaKeyRecord* key) {
  OpenSslPtr<EVP_PKEY> loaded = LoadPrivateKey(der);
  if (!loaded) return Fail(kNteBadData);
  if (!EVP_PKEY_is_a(loaded.get(), "RSA")) return Fail(kNteBadAlgid);
  if (GetBn(loaded.get(), OSSL_PKEY_PARAM_RSA_FACTOR3)) return Fail(kNteBadKey);
  const int bits = EVP_PKEY_get_bits(loaded.get());
  if (bits < static_cast<int>(minBits) || bits > static_cast<int>(maxBits)) {
    return Fail(kNteBadKey);
  }
  return RecordFromKey(loaded.get(), key);
}

SysError RsaPrivateKeyBlob(std::span<const uint8_t> pkcs8, uint32_t keyAlgorithm,
                           SecretBytes* blob) {
  OpenSslPtr<EVP_PKEY> key = LoadPrivateKey(pkcs8);
  if (!key) return Fail(kNteBadKey);
  const int bits = EVP_PKEY_get_bits(key.get());
  if (bits <= 0) return Fail(kNteBadKey);
  const size_t full = (static_cast<size_t>(bits) + 7) / 8;
  const size_t half = (static_cast<size_t>(bits) + 15) / 16;

  OpenSslPtr<BIGNUM> e = GetBn(key.get(), OSSL_PKEY_PARAM_RSA_E);
  if (!e || BN_num_bits(e.get()) > 32) return Fail(kNteBadKey);
  const uint32_t exponent = static_cast<uint32_t>(BN_get_word(e.get()));

  struct Part {
    const char* name;
    size_t width;
  };
  static constexpr const char* kN = OSSL_PKEY_PARAM_RSA_N;
  const Part parts[] = {{kN, full},
                        {OSSL_PKEY_PARAM_RSA_FACTOR1, half},
                        {OSSL_PKEY_PARAM_RSA_FACTOR2, half},
                        {OSSL_PKEY_PARAM_RSA_EXPONENT1, half},
                        {OSSL_PKEY_PARAM_RSA_EXPONENT2, half},
                        {OSSL_PKEY_PARAM_RSA_COEFFICIENT1, half},
                        {OSSL_PKEY_PARAM_RSA_D, full}};

  SecretBytes out(std::vector<uint8_t>(20 + 2 * full + 5 * half));
  uint8_t* p = out.bytes().data();
  auto put32 = [&p](uint32_t v) {
    for (int i = 0; i < 4; ++i) *p++ = static_cast<uint8_t>(v >> (8 * i));
  };
  *p++ = 0x07;  // PRIVATEKEYBLOB
  *p++ = 0x02;  // CUR_BLOB_VERSION
  *p++ = 0;
  *p++ = 0;
  put32(keyAlgorithm);
  put32(0x32415352);  // "RSA2"
  put32(static_cast<uint32_t>(bits));
  put32(exponent);
  for (const Part& part : parts) {
    OpenSslPtr<BIGNUM> value = GetBn(key.get(), part.name);
    if (!value || BN_bn2lebinpad(value.get(), p, static_cast<int>(part.width)) !=
                      static_cast<int>(part.width)) {
      return Fail(kNteBadKey);
    }
    p += part.width;
  }
  *blob = std::move(out);
  return kErrorSuccess;
}

struct RsaSigningKey::Loaded {
  OpenSslPtr<EVP_PKEY> key;
  int size = 0;  // modulus length in bytes
  // A signing context made once, with PKCS#1 padding set: setting one up looks up the provider's
  // implementation anew. One thread at a time signs with it; another meanwhile makes its own.
  std::mutex preparedMutex;
  OpenSslPtr<EVP_PKEY_CTX> prepared;
};

RsaSigningKey::RsaSigningKey(Token, std::unique_ptr<Loaded> loaded) : loaded_(std::move(loaded)) {}

RsaSigningKey::~RsaSigningKey() = default;

SysError RsaSigningKey::Decode(std::span<const uint8_t> pkcs8,
                               std::shared_ptr<const RsaSigningKey>* key) {
  auto loaded = std::make_unique<Loaded>();
  loaded->key = LoadPrivateKey(pkcs8);
  if (!loaded->key) return Fail(kNteBadKey);
  loaded->size = EVP_PKEY_get_size(loaded->key.get());
  if (loaded->size <= 0) return Fail(kNteBadKey);
  loaded->prepared = PrepareSigning(loaded->key.get());
  if (!loaded->prepared) return Fail(kNteBadKey);
  *key = std::make_shared<const RsaSigningKey>(Token(), std::move(loaded));
  return kErrorSuccess;
}

SysError RsaSigningKey::SignPkcs1(std::span<const uint8_t> block,
                                  std::vector<uint8_t>* signature) const {
  const size_t size = static_cast<size_t>(loaded_->size);
  if (size <= 11 || block.size() > size - 11) return Fail(kNteBadLen);
  std::unique_lock prepared(loaded_->preparedMutex, std::try_to_lock);
  OpenSslPtr<EVP_PKEY_CTX> own;
  EVP_PKEY_CTX* ctx = prepared.owns_lock() ? loaded_->prepared.get() : nullptr;
  if (ctx == nullptr) {
    own = PrepareSigning(loaded_->key.get());
    if (!own) return Fail(kNteFail);
    ctx = own.get();
  }
  size_t length = size;
  std::vector<uint8_t> out(length);
  if (EVP_PKEY_sign(ctx, out.data(), &length, block.data(), block.size()) != 1) {
    return Fail(kNteFail);
  }
  // The signature integer is always written at the full modulus length.
  out.resize(length);
  *signature = std::move(out);
  return kErrorSuccess;
}

}  // namespace zyq::platform::posix
