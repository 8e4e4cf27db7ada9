// The demonstration authority and the signature checks over OpenSSL.
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <string>

#include "platform/CryptoKeys.h"
#include "platform/TestAuthority.h"
#include "platform/posix/OpenSslPtr.h"

namespace zyq::platform {
namespace {

using posix::OpenSslPtr;

constexpr long kHour = 3600;
constexpr long kDay = 24 * kHour;

Bytes CertDer(X509* cert) {
  unsigned char* der = nullptr;
  const int n = i2d_X509(cert, &der);
  const OpenSslPtr<unsigned char> owner(der);
  if (n <= 0) return {};
  return Bytes(der, der + n);
}

OpenSslPtr<X509> CertFromDer(ByteView der) {
  const unsigned char* p = der.data();
  return OpenSslPtr<X509>(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
}

bool AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  const OpenSslPtr<X509_EXTENSION> ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value));
  return ext && X509_add_ext(cert, ext.get(), -1) == 1;
}

// A certificate body: version 3, serial, validity from an hour ago for `days` days.
OpenSslPtr<X509> NewCertificate(uint64_t serial, int days) {
  OpenSslPtr<X509> cert(X509_new());
  if (!cert || X509_set_version(cert.get(), 2) != 1) return nullptr;
  ASN1_INTEGER* number = X509_get_serialNumber(cert.get());
  if (ASN1_INTEGER_set_uint64(number, serial) != 1) return nullptr;
  if (!X509_gmtime_adj(X509_getm_notBefore(cert.get()), -kHour) ||
      !X509_gmtime_adj(X509_getm_notAfter(cert.get()), days * kDay)) {
    return nullptr;
  }
  return cert;
}

class OpenSslAuthority final : public TestAuthority {
 public:
  OpenSslAuthority(OpenSslPtr<EVP_PKEY> key, OpenSslPtr<X509> root)
      : key_(std::move(key)), root_(std::move(root)) {
    der_ = CertDer(root_.get());
  }

  const Bytes& certificate() const override { return der_; }

  SysError Issue(ByteView request, uint64_t serial, int days, Bytes* certificate,
                 Bytes* pkcs7) override {
    const unsigned char* p = request.data();
    OpenSslPtr<X509_REQ> req(d2i_X509_REQ(nullptr, &p, static_cast<long>(request.size())));
    if (!req || p != request.data() + request.size()) return kCryptEAsn1Badtag;
    EVP_PKEY* subjectKey = X509_REQ_get0_pubkey(req.get());
    if (subjectKey == nullptr) return kCryptEAsn1Badtag;
    if (X509_REQ_verify(req.get(), subjectKey) != 1) return kNteBadSignature;

    OpenSslPtr<X509> cert = NewCertificate(serial, days);
    if (!cert || X509_set_subject_name(cert.get(), X509_REQ_get_subject_name(req.get())) != 1 ||
        X509_set_issuer_name(cert.get(), X509_get_subject_name(root_.get())) != 1 ||
        X509_set_pubkey(cert.get(), subjectKey) != 1 ||
        !AddExtension(cert.get(), root_.get(), NID_basic_constraints, "critical,CA:FALSE") ||
        !AddExtension(cert.get(), root_.get(), NID_key_usage,
                      "critical,digitalSignature,nonRepudiation,keyEncipherment") ||
        !AddExtension(cert.get(), root_.get(), NID_authority_key_identifier, "keyid") ||
        X509_sign(cert.get(), key_.get(), EVP_sha256()) <= 0) {
      return kNteFail;
    }

    // The answer: a degenerate SignedData that only carries certificates.
    OpenSslPtr<PKCS7> bundle(PKCS7_new());
    if (!bundle || PKCS7_set_type(bundle.get(), NID_pkcs7_signed) != 1 ||
        PKCS7_content_new(bundle.get(), NID_pkcs7_data) != 1 ||
        PKCS7_add_certificate(bundle.get(), cert.get()) != 1 ||
        PKCS7_add_certificate(bundle.get(), root_.get()) != 1) {
      return kNteFail;
    }
    unsigned char* der = nullptr;
    const int n = i2d_PKCS7(bundle.get(), &der);
    const OpenSslPtr<unsigned char> owner(der);
    if (n <= 0) return kNteFail;
    pkcs7->assign(der, der + n);
    *certificate = CertDer(cert.get());
    return certificate->empty() ? kNteFail : kErrorSuccess;
  }

 private:
  OpenSslPtr<EVP_PKEY> key_;
  OpenSslPtr<X509> root_;
  Bytes der_;
};

const EVP_MD* DigestOf(uint32_t hashAlg) {
  switch (hashAlg) {
    case kCalgSha1:
      return EVP_sha1();
    case kCalgMd5:
      return EVP_md5();
    case kCalgSha256:
      return EVP_sha256();
    default:
      return nullptr;
  }
}

}  // namespace

SysError TestAuthority::Create(std::string_view commonName, std::unique_ptr<TestAuthority>* out) {
  OpenSslPtr<EVP_PKEY> key(EVP_RSA_gen(2048));
  OpenSslPtr<X509> root = NewCertificate(1, 3650);
  if (!key || !root) return kNteFail;
  X509_NAME* name = X509_get_subject_name(root.get());
  const std::string cn(commonName);
  if (X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                 reinterpret_cast<const unsigned char*>(cn.c_str()), -1, -1,
                                 0) != 1 ||
      X509_set_issuer_name(root.get(), name) != 1 || X509_set_pubkey(root.get(), key.get()) != 1 ||
      !AddExtension(root.get(), root.get(), NID_basic_constraints, "critical,CA:TRUE") ||
      !AddExtension(root.get(), root.get(), NID_key_usage, "critical,keyCertSign,cRLSign") ||
      !AddExtension(root.get(), root.get(), NID_subject_key_identifier, "hash") ||
      X509_sign(root.get(), key.get(), EVP_sha256()) <= 0) {
    return kNteFail;
  }
  *out = std::make_unique<OpenSslAuthority>(std::move(key), std::move(root));
  return kErrorSuccess;
}

SysError VerifySignedData(ByteView message, ByteView detachedContent, ByteView signerCertificate,
                          bool* valid) {
  *valid = false;
  const unsigned char* p = message.data();
  OpenSslPtr<PKCS7> p7(d2i_PKCS7(nullptr, &p, static_cast<long>(message.size())));
  if (!p7 || !PKCS7_type_is_signed(p7.get())) return kCryptEAsn1Badtag;

  OpenSslPtr<STACK_OF(X509)> extra(sk_X509_new_null());
  if (!signerCertificate.empty()) {
    OpenSslPtr<X509> signer = CertFromDer(signerCertificate);
    if (!signer) return kCryptEAsn1Badtag;
    if (sk_X509_push(extra.get(), signer.get()) > 0) signer.release();  // the stack owns it now
  }
  OpenSslPtr<BIO> content;
  if (PKCS7_get_detached(p7.get())) {
    content.reset(
        BIO_new_mem_buf(detachedContent.data(), static_cast<int>(detachedContent.size())));
  }
  // The signatures alone: no chain building, no purpose checks.
  *valid = PKCS7_verify(p7.get(), extra.get(), nullptr, content.get(), nullptr,
                        PKCS7_NOVERIFY | PKCS7_NOCHAIN) == 1;
  return kErrorSuccess;
}

SysError VerifyPkcs1Signature(ByteView certificate, uint32_t hashAlg, ByteView content,
                              ByteView signature, bool* valid) {
  *valid = false;
  const EVP_MD* md = DigestOf(hashAlg);
  if (md == nullptr) return kCryptEUnknownAlgo;
  OpenSslPtr<X509> cert = CertFromDer(certificate);
  if (!cert) return kCryptEAsn1Badtag;
  EVP_PKEY* key = X509_get0_pubkey(cert.get());
  const OpenSslPtr<EVP_MD_CTX> ctx(EVP_MD_CTX_new());
  EVP_PKEY_CTX* keyCtx = nullptr;
  if (!ctx || key == nullptr || EVP_DigestVerifyInit(ctx.get(), &keyCtx, md, nullptr, key) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(keyCtx, RSA_PKCS1_PADDING) != 1) {
    return kNteFail;
  }
  *valid = EVP_DigestVerify(ctx.get(), signature.data(), signature.size(), content.data(),
                            content.size()) == 1;
  return kErrorSuccess;
}

}  // namespace zyq::platform
