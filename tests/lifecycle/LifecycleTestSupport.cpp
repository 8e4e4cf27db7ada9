#include "tests/lifecycle/LifecycleTestSupport.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/CryptoKeys.h"
#include "platform/Providers.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::test {
namespace {

const std::vector<NameAttr> kAuthorityName = {{"2.5.4.10", 0x0c, "Lifecycle Tests"},
                                              {"2.5.4.3", 0x0c, "Lifecycle Root CA"}};

Bytes BigNumBytes(const BIGNUM* n) {
  Bytes out(static_cast<size_t>(BN_num_bytes(n)));
  BN_bn2bin(n, out.data());
  return out;
}

}  // namespace

Authority::Authority() : key(NewRsaKey(1024)) {
  cert = MakeCertificate(CertSpec()
                             .Subject(kAuthorityName)
                             .Serial({0x01})
                             .KeyUsage("critical,keyCertSign,cRLSign")
                             .Ca(),
                         key, key);
}

Holder Issue(const Authority& ca, const std::string& cn, const std::string& keyUsage, long serial,
             int64_t notBefore, int64_t notAfter) {
  Holder holder;
  holder.key = NewRsaKey(1024);
  Bytes serialBytes;
  for (long s = serial; s > 0; s >>= 8) {
    serialBytes.insert(serialBytes.begin(), static_cast<uint8_t>(s & 0xFF));
  }
  CertSpec spec;
  spec.Subject({{"2.5.4.10", 0x0c, "Lifecycle Tests"}, {"2.5.4.3", 0x0c, cn}})
      .Issuer(kAuthorityName)
      .Serial(serialBytes)
      .Validity(notBefore, notAfter)
      .KeyUsage(keyUsage);
  holder.cert = MakeCertificate(spec, holder.key, ca.key);
  return holder;
}

void AddToPersonalStore(const Holder& holder, uint32_t keyFlags) {
  const Bytes pkcs8 = KeyPkcs8Der(holder.key);
  platform::KeyProvInfo link;
  ASSERT_EQ(platform::ImportPrivateKey(pkcs8, platform::kMsEnhancedProv, platform::kProvRsaFull,
                                       platform::kAtKeyExchange, keyFlags, &link),
            0u);
  platform::CertContext context;
  ASSERT_EQ(platform::CertContext::FromEncoded(holder.cert, &context), 0u);
  ASSERT_EQ(context.SetKeyLink(link), 0u);
  platform::CertStore my;
  ASSERT_EQ(platform::CertStore::OpenSystem(platform::kStoreMy, &my), 0u);
  ASSERT_EQ(my.Add(context, platform::kCertStoreAddAlways), 0u);
}

std::vector<Bytes> PersonalStore() {
  platform::CertStore my;
  std::vector<Bytes> out;
  if (platform::CertStore::OpenSystem(platform::kStoreMy, &my) != 0) return out;
  std::vector<platform::CertContext> contexts;
  my.Enumerate(&contexts);
  for (const platform::CertContext& c : contexts) out.push_back(c.encoded());
  return out;
}

OpenSslPfx ReadPfxWithOpenSsl(const std::string& path, const std::string& password) {
  OpenSslPfx result;
  // The password travels in the environment, so that any text reaches the command unchanged.
  setenv("ZYQ_TEST_PFX_PASSWORD", password.c_str(), 1);
  std::string pem;
  const int status = RunCommand(
      "openssl pkcs12 -in '" + path + "' -passin env:ZYQ_TEST_PFX_PASSWORD -nodes", &pem);
  unsetenv("ZYQ_TEST_PFX_PASSWORD");
  if (status != 0) return result;
  result.opened = true;
  OpenSslPtr<BIO> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  while (const OpenSslPtr<X509> x{PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)}) {
    unsigned char* der = nullptr;
    const int n = i2d_X509(x.get(), &der);
    result.certs.push_back(TakeDer(der, n));
  }
  bio.reset(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  result.key.reset(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
  return result;
}

Bytes KeyModulus(EVP_PKEY* key) {
  BIGNUM* n = nullptr;
  if (key == nullptr || EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_N, &n) != 1) return {};
  return BigNumBytes(OpenSslPtr<BIGNUM>(n).get());
}

Bytes CertModulus(const Bytes& cert) {
  const unsigned char* p = cert.data();
  const OpenSslPtr<X509> x(d2i_X509(nullptr, &p, static_cast<long>(cert.size())));
  if (!x) return {};
  return KeyModulus(X509_get0_pubkey(x.get()));
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace zyq::test
