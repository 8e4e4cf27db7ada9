#include "tests/platform_certs/TestCertificates.h"

#include <openssl/bn.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "tests/platform_certs/OpenSslTestKey.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::test {

struct TestKey::State {
  OpenSslPtr<EVP_PKEY> key;
};

TestKey::TestKey() = default;
TestKey::TestKey(std::unique_ptr<State> state) : state_(std::move(state)) {}
TestKey::TestKey(TestKey&&) noexcept = default;
TestKey& TestKey::operator=(TestKey&&) noexcept = default;
TestKey::~TestKey() = default;

EVP_PKEY* OpenSslKey(const TestKey& key) {
  return key ? key.state()->key.get() : nullptr;
}

namespace {

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("OpenSSL test helper failed: ") + what);
}

OpenSslPtr<X509_NAME> BuildName(const std::vector<NameAttr>& attrs) {
  OpenSslPtr<X509_NAME> name(X509_NAME_new());
  for (const NameAttr& a : attrs) {
    const OpenSslPtr<ASN1_OBJECT> obj(OBJ_txt2obj(a.oid.c_str(), 1));
    Check(obj != nullptr, "OBJ_txt2obj");
    const int ok = X509_NAME_add_entry_by_OBJ(
        name.get(), obj.get(), a.type, reinterpret_cast<const unsigned char*>(a.value.data()),
        static_cast<int>(a.value.size()), -1, a.joinPrevious ? -1 : 0);
    Check(ok == 1, "X509_NAME_add_entry_by_OBJ");
  }
  return name;
}

// What a PEM writer wrote into a memory BIO.
template <typename T, typename Writer>
std::string Pem(T* object, Writer write) {
  const OpenSslPtr<BIO> bio(BIO_new(BIO_s_mem()));
  write(bio.get(), object);
  char* data = nullptr;
  const long n = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<size_t>(n));
}

void AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  const OpenSslPtr<X509_EXTENSION> ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str()));
  Check(ext != nullptr, "X509V3_EXT_conf_nid");
  X509_add_ext(cert, ext.get(), -1);
}

}  // namespace

TestKey NewRsaKey(int bits) {
  auto state = std::make_unique<TestKey::State>();
  state->key.reset(EVP_RSA_gen(static_cast<unsigned>(bits)));
  Check(state->key != nullptr, "EVP_RSA_gen");
  return TestKey(std::move(state));
}

std::string KeyPem(const TestKey& key) {
  return Pem(OpenSslKey(key), [](BIO* bio, EVP_PKEY* k) {
    PEM_write_bio_PrivateKey(bio, k, nullptr, nullptr, 0, nullptr, nullptr);
  });
}

Bytes KeyPkcs8Der(const TestKey& key) {
  const OpenSslPtr<PKCS8_PRIV_KEY_INFO> p8(EVP_PKEY2PKCS8(OpenSslKey(key)));
  unsigned char* der = nullptr;
  const int n = i2d_PKCS8_PRIV_KEY_INFO(p8.get(), &der);
  return TakeDer(der, n);
}

Bytes EncodeName(const std::vector<NameAttr>& attrs) {
  const OpenSslPtr<X509_NAME> name = BuildName(attrs);
  unsigned char* der = nullptr;
  const int n = i2d_X509_NAME(name.get(), &der);
  return TakeDer(der, n);
}

Bytes MakeCertificate(const CertSpec& spec, const TestKey& subjectKey, const TestKey& issuerKey) {
  const OpenSslPtr<X509> owner(X509_new());
  X509* cert = owner.get();
  X509_set_version(cert, 2);
  const OpenSslPtr<BIGNUM> bn(
      BN_bin2bn(spec.serial.data(), static_cast<int>(spec.serial.size()), nullptr));
  const OpenSslPtr<ASN1_INTEGER> serial(BN_to_ASN1_INTEGER(bn.get(), nullptr));
  X509_set_serialNumber(cert, serial.get());
  X509_set_subject_name(cert, BuildName(spec.subject).get());
  X509_set_issuer_name(cert, BuildName(spec.issuer.empty() ? spec.subject : spec.issuer).get());
  const OpenSslPtr<ASN1_TIME> t(ASN1_TIME_set(nullptr, static_cast<time_t>(spec.notBefore)));
  X509_set1_notBefore(cert, t.get());
  ASN1_TIME_set(t.get(), static_cast<time_t>(spec.notAfter));
  X509_set1_notAfter(cert, t.get());
  X509_set_pubkey(cert, OpenSslKey(subjectKey));
  if (!spec.keyUsage.empty()) AddExtension(cert, cert, NID_key_usage, spec.keyUsage);
  if (!spec.basicConstraints.empty()) {
    AddExtension(cert, cert, NID_basic_constraints, spec.basicConstraints);
  }
  Check(X509_sign(cert, OpenSslKey(issuerKey), EVP_sha256()) > 0, "X509_sign");
  unsigned char* der = nullptr;
  const int n = i2d_X509(cert, &der);
  return TakeDer(der, n);
}

Bytes TakeDer(unsigned char* der, int n) {
  const OpenSslPtr<unsigned char> owner(der);
  return n > 0 ? Bytes(der, der + n) : Bytes();
}

std::string ToString(const Bytes& b) {
  return std::string(b.begin(), b.end());
}

Bytes ToBytes(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

std::string Hex(const Bytes& b) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (uint8_t c : b) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::string Utf16Be(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) {
    out += static_cast<char>(c >> 8);
    out += static_cast<char>(c & 0xff);
  }
  return out;
}

std::string NewWorkFolder() {
  static std::atomic<int> counter{0};
  const std::string path = TestRoot() + "/work" + std::to_string(++counter);
  std::filesystem::create_directories(path);
  return path;
}

std::string CertPem(const Bytes& der) {
  const unsigned char* p = der.data();
  const OpenSslPtr<X509> cert(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
  Check(cert != nullptr, "d2i_X509");
  return Pem(cert.get(), [](BIO* bio, X509* x) { PEM_write_bio_X509(bio, x); });
}

}  // namespace zyq::test

namespace zyq::test {

platform::DigestSigner KeySigner(const TestKey& testKey) {
  return [key = OpenSslKey(testKey)](uint32_t hashAlg, std::span<const uint8_t> hash,
                                     std::vector<uint8_t>* signature) {
    const EVP_MD* md = hashAlg == platform::kCalgMd5    ? EVP_md5()
                       : hashAlg == platform::kCalgSha1 ? EVP_sha1()
                                                        : EVP_sha256();
    const OpenSslPtr<EVP_PKEY_CTX> owner(EVP_PKEY_CTX_new(key, nullptr));
    EVP_PKEY_CTX* ctx = owner.get();
    size_t len = 0;
    bool ok = EVP_PKEY_sign_init(ctx) == 1 &&
              EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING) == 1 &&
              EVP_PKEY_CTX_set_signature_md(ctx, md) == 1 &&
              EVP_PKEY_sign(ctx, nullptr, &len, hash.data(), hash.size()) == 1;
    std::vector<uint8_t> be(len);
    ok = ok && EVP_PKEY_sign(ctx, be.data(), &len, hash.data(), hash.size()) == 1;
    if (!ok) return platform::kNteBadSignature;
    signature->assign(be.rbegin(), be.rend());
    return platform::kErrorSuccess;
  };
}

}  // namespace zyq::test

#include <openssl/pkcs12.h>
#include <openssl/provider.h>

namespace zyq::test {

Bytes MakePfx(const std::vector<PfxEntry>& entries, const char* pass, bool legacy) {
  static OSSL_LIB_CTX* ctx = [] {
    OSSL_LIB_CTX* c = OSSL_LIB_CTX_new();
    OSSL_PROVIDER_load(c, "default");
    OSSL_PROVIDER_load(c, "legacy");
    return c;
  }();
  const int keyNid = legacy ? NID_pbe_WithSHA1And3_Key_TripleDES_CBC : NID_aes_256_cbc;
  const int certNid = legacy ? NID_pbe_WithSHA1And40BitRC2_CBC : NID_aes_256_cbc;
  STACK_OF(PKCS12_SAFEBAG)* certBags = nullptr;
  STACK_OF(PKCS12_SAFEBAG)* keyBags = nullptr;
  int id = 0;
  for (const PfxEntry& e : entries) {
    const unsigned char* p = e.cert.data();
    const OpenSslPtr<X509> x(d2i_X509(nullptr, &p, static_cast<long>(e.cert.size())));
    Check(x != nullptr, "d2i_X509");
    PKCS12_SAFEBAG* bag = PKCS12_add_cert(&certBags, x.get());
    Check(bag != nullptr, "PKCS12_add_cert");
    if (e.key != nullptr) {
      unsigned char keyId[4] = {'k', 'e', 'y', static_cast<unsigned char>('0' + id++)};
      PKCS12_add_localkeyid(bag, keyId, 4);
      PKCS12_SAFEBAG* kb =
          PKCS12_add_key_ex(&keyBags, OpenSslKey(*e.key), 0, 2048, keyNid, pass, ctx, nullptr);
      Check(kb != nullptr, "PKCS12_add_key_ex");
      PKCS12_add_localkeyid(kb, keyId, 4);
    }
  }
  const OpenSslPtr<STACK_OF(PKCS12_SAFEBAG)> certBagsOwner(certBags);
  const OpenSslPtr<STACK_OF(PKCS12_SAFEBAG)> keyBagsOwner(keyBags);
  STACK_OF(PKCS7)* safes = nullptr;
  if (certBags) {
    Check(PKCS12_add_safe_ex(&safes, certBags, certNid, 2048, pass, ctx, nullptr) == 1,
          "PKCS12_add_safe_ex");
  }
  if (keyBags) {
    Check(PKCS12_add_safe_ex(&safes, keyBags, -1, 0, nullptr, ctx, nullptr) == 1,
          "PKCS12_add_safe_ex");
  }
  const OpenSslPtr<STACK_OF(PKCS7)> safesOwner(safes);
  const OpenSslPtr<PKCS12> p12(PKCS12_add_safes_ex(safes, 0, ctx, nullptr));
  Check(p12 != nullptr, "PKCS12_add_safes_ex");
  Check(PKCS12_set_mac(p12.get(), pass, pass ? -1 : 0, nullptr, 0, 2048,
                       legacy ? EVP_sha1() : EVP_sha256()) == 1,
        "PKCS12_set_mac");
  unsigned char* der = nullptr;
  const int n = i2d_PKCS12(p12.get(), &der);
  return TakeDer(der, n);
}

}  // namespace zyq::test
