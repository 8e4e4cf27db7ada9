#include "tests/enroll/TestAuthority.h"

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <string>

#include "platform/posix/OpenSslPtr.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::test {
namespace {

using platform::posix::OpenSslPtr;

// The n bytes an i2d_ function allocated at out (freed here); empty when n is not positive.
Der TakeDer(unsigned char* out, int n) {
  const OpenSslPtr<unsigned char> owner(out);
  return n > 0 ? Der(out, out + n) : Der();
}

Der ToDer(X509* cert) {
  unsigned char* out = nullptr;
  const int n = i2d_X509(cert, &out);
  return TakeDer(out, n);
}

void AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  const OpenSslPtr<X509_EXTENSION> ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value));
  if (ext) X509_add_ext(cert, ext.get(), -1);
}

// A certificate of subject and key, signed by issuerKey (issuer == null: self-signed).
OpenSslPtr<X509> MakeCert(X509_NAME* subject, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey,
                          long serial, const char* keyUsage, bool ca) {
  OpenSslPtr<X509> cert(X509_new());
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
  X509_set_subject_name(cert.get(), subject);
  X509_set_issuer_name(cert.get(), issuer ? X509_get_subject_name(issuer) : subject);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 365L * 24 * 3600);
  X509_set_pubkey(cert.get(), key);
  X509* signer = issuer ? issuer : cert.get();
  if (ca) AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
  AddExtension(cert.get(), signer, NID_key_usage, keyUsage);
  if (X509_sign(cert.get(), issuerKey, EVP_sha256()) <= 0) return nullptr;
  return cert;
}

OpenSslPtr<X509_NAME> MakeName(const std::string& cn, const char* org) {
  OpenSslPtr<X509_NAME> name(X509_NAME_new());
  if (org) {
    X509_NAME_add_entry_by_txt(name.get(), "O", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(org), -1, -1, 0);
  }
  X509_NAME_add_entry_by_txt(name.get(), "CN", MBSTRING_UTF8,
                             reinterpret_cast<const unsigned char*>(cn.c_str()), -1, -1, 0);
  return name;
}

std::string Oid(const ASN1_OBJECT* obj) {
  char buf[128];
  OBJ_obj2txt(buf, sizeof buf, obj, 1);
  return buf;
}

}  // namespace

struct TestAuthority::Keys {
  OpenSslPtr<EVP_PKEY> rootKey;
  OpenSslPtr<EVP_PKEY> issuingKey;
  OpenSslPtr<X509> root;
  OpenSslPtr<X509> issuing;
};

TestAuthority::TestAuthority() : keys_(std::make_unique<Keys>()) {
  keys_->rootKey.reset(EVP_RSA_gen(1024));
  keys_->issuingKey.reset(EVP_RSA_gen(1024));
  OpenSslPtr<X509_NAME> rootName = MakeName("Test Root CA", "Enroll Tests");
  keys_->root = MakeCert(rootName.get(), keys_->rootKey.get(), nullptr, keys_->rootKey.get(), 1,
                         "critical,keyCertSign,cRLSign", true);
  OpenSslPtr<X509_NAME> issuingName = MakeName("Test Issuing CA", "Enroll Tests");
  keys_->issuing = MakeCert(issuingName.get(), keys_->issuingKey.get(), keys_->root.get(),
                            keys_->rootKey.get(), 2, "critical,keyCertSign,cRLSign", true);
  if (keys_->root) root_ = ToDer(keys_->root.get());
  if (keys_->issuing) intermediate_ = ToDer(keys_->issuing.get());
}

TestAuthority::~TestAuthority() = default;

Der TestAuthority::Issue(const Der& request, long serial) {
  const unsigned char* p = request.data();
  OpenSslPtr<X509_REQ> req(d2i_X509_REQ(nullptr, &p, static_cast<long>(request.size())));
  if (!req) return {};
  OpenSslPtr<EVP_PKEY> key(X509_REQ_get_pubkey(req.get()));
  if (!key) return {};
  OpenSslPtr<X509> cert =
      MakeCert(X509_REQ_get_subject_name(req.get()), key.get(), keys_->issuing.get(),
               keys_->issuingKey.get(), serial, "critical,digitalSignature,keyEncipherment", false);
  return cert ? ToDer(cert.get()) : Der();
}

Der TestAuthority::IssueForKey(const Der& spki, const std::string& commonName, long serial) {
  const unsigned char* p = spki.data();
  OpenSslPtr<EVP_PKEY> key(d2i_PUBKEY(nullptr, &p, static_cast<long>(spki.size())));
  if (!key) return {};
  OpenSslPtr<X509_NAME> name = MakeName(commonName, nullptr);
  OpenSslPtr<X509> cert =
      MakeCert(name.get(), key.get(), keys_->issuing.get(), keys_->issuingKey.get(), serial,
               "critical,digitalSignature", false);
  return cert ? ToDer(cert.get()) : Der();
}

Der ForeignPublicKeyInfo(int bits) {
  OpenSslPtr<EVP_PKEY> key(EVP_RSA_gen(static_cast<unsigned>(bits)));
  unsigned char* out = nullptr;
  const int n = i2d_PUBKEY(key.get(), &out);
  return TakeDer(out, n);
}

Der FromBase64(const std::string& text) {
  Der out(text.size() / 4 * 3 + 3);
  const int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()));
  if (n < 0) return {};
  // EVP_DecodeBlock counts the bytes that padding stands for.
  size_t size = static_cast<size_t>(n);
  for (size_t i = text.size(); i > 0 && text[i - 1] == '=' && size > 0; --i) --size;
  out.resize(size);
  return out;
}

std::string ToBase64(const Der& der) {
  std::string out(4 * ((der.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), der.data(),
                                static_cast<int>(der.size()));
  out.resize(static_cast<size_t>(n));
  return out;
}

std::string Armoured(const Der& der, const std::string& label) {
  const std::string body = ToBase64(der);
  std::string text = "-----BEGIN " + label + "-----\r\n";
  for (size_t i = 0; i < body.size(); i += 64) text += body.substr(i, 64) + "\r\n";
  return text + "-----END " + label + "-----\r\n";
}

std::string Pkcs7Bundle(const std::vector<Der>& certificates, const std::string& folder, bool pem) {
  std::string chain;
  for (const Der& cert : certificates) chain += Armoured(cert, "CERTIFICATE");
  const std::string in = folder + "/bundle-in.pem";
  const std::string out = folder + "/bundle-out.p7";
  if (!WriteFile(in, chain)) return {};
  const std::string command = "openssl crl2pkcs7 -nocrl" +
                              (certificates.empty() ? std::string() : " -certfile " + in) +
                              " -outform " + (pem ? "PEM" : "DER") + " -out " + out;
  if (RunCommand(command) != 0) return {};
  return ReadFile(out);
}

bool RequestSignatureVerifies(const Der& request, const std::string& folder, std::string* text) {
  const std::string path = folder + "/request.der";
  if (!WriteFile(path, std::string(request.begin(), request.end()))) return false;
  std::string output;
  const int status =
      RunCommand("openssl req -inform DER -in " + path + " -verify -noout -text", &output);
  if (text) *text = output;
  return status == 0 && output.find("verify OK") != std::string::npos;
}

RequestFacts ReadRequest(const Der& request) {
  RequestFacts facts;
  const unsigned char* p = request.data();
  OpenSslPtr<X509_REQ> req(d2i_X509_REQ(nullptr, &p, static_cast<long>(request.size())));
  if (!req || p != request.data() + request.size()) return facts;
  facts.parsed = true;
  facts.version = static_cast<int>(X509_REQ_get_version(req.get()));
  const X509_NAME* subject = X509_REQ_get_subject_name(req.get());
  facts.nameEntries = X509_NAME_entry_count(subject);
  if (facts.nameEntries > 0) {
    facts.nameRdns = X509_NAME_ENTRY_set(X509_NAME_get_entry(subject, facts.nameEntries - 1)) + 1;
    const X509_NAME_ENTRY* entry = X509_NAME_get_entry(subject, 0);
    facts.cnOid = Oid(X509_NAME_ENTRY_get_object(entry));
    const ASN1_STRING* value = X509_NAME_ENTRY_get_data(entry);
    facts.cnType = ASN1_STRING_type(value);
    facts.cnValue.assign(ASN1_STRING_get0_data(value),
                         ASN1_STRING_get0_data(value) + ASN1_STRING_length(value));
  }
  facts.attributes = X509_REQ_get_attr_count(req.get());
  const X509_ALGOR* algorithm = nullptr;
  X509_REQ_get0_signature(req.get(), nullptr, &algorithm);
  const ASN1_OBJECT* oid = nullptr;
  int paramType = 0;
  X509_ALGOR_get0(&oid, &paramType, nullptr, algorithm);
  facts.signatureOid = Oid(oid);
  facts.signatureParamsNull = paramType == V_ASN1_NULL;
  OpenSslPtr<EVP_PKEY> key(X509_REQ_get_pubkey(req.get()));
  if (key) {
    facts.keyBits = EVP_PKEY_get_bits(key.get());
    unsigned char* out = nullptr;
    const int n = i2d_PUBKEY(key.get(), &out);
    if (n > 0) facts.spki = TakeDer(out, n);
  }
  return facts;
}

}  // namespace zyq::test
