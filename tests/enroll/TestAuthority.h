// A certification authority for the enrollment tests, made with an implementation independent
// of the code under test: a self-signed root, an intermediate that may sign certificates, and
// end-entity certificates issued for PKCS#10 requests, PKCS#7 answers and a reader of requests.
// On Linux the OpenSSL library and the `openssl` command (TestAuthority.cpp), on Windows
// CryptoAPI (tests/win32/support/EnrollAuthorityWin32.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zyq::test {

using Der = std::vector<uint8_t>;

class TestAuthority {
 public:
  // A root "CN=Test Root CA, O=Enroll Tests" and an intermediate "CN=Test Issuing CA" under it,
  // both with 1024-bit keys and the keyCertSign key usage.
  TestAuthority();
  ~TestAuthority();
  TestAuthority(const TestAuthority&) = delete;
  TestAuthority& operator=(const TestAuthority&) = delete;

  const Der& root() const { return root_; }
  const Der& intermediate() const { return intermediate_; }

  // An end-entity certificate for the request (DER PKCS#10): the request's subject and public
  // key, issued by the intermediate, with the digitalSignature and keyEncipherment key usage.
  // Empty when the request cannot be read.
  Der Issue(const Der& request, long serial = 1000);
  // An end-entity certificate for a public key given as SubjectPublicKeyInfo DER.
  Der IssueForKey(const Der& spki, const std::string& commonName, long serial = 1000);

 private:
  struct Keys;
  std::unique_ptr<Keys> keys_;
  Der root_;
  Der intermediate_;
};

// A fresh RSA public key whose private half no container holds.
Der ForeignPublicKeyInfo(int bits = 512);

// Decodes one line of Base64 (empty on failure).
Der FromBase64(const std::string& text);

// Base64 text on one line, or armoured ("-----BEGIN label-----", 64-column lines, end line).
std::string ToBase64(const Der& der);
std::string Armoured(const Der& der, const std::string& label);

// A degenerate PKCS#7 SignedData holding the certificates in this order (`openssl crl2pkcs7
// -nocrl` on Linux). pem: the armoured PEM text ("-----BEGIN PKCS7-----"),
// else the DER bytes. Empty on failure.
std::string Pkcs7Bundle(const std::vector<Der>& certificates, const std::string& folder, bool pem);

// True when a DER request's signature verifies with its own key (`openssl req -verify`,
// CryptVerifyCertificateSignatureEx); *text receives what the checker says about the request.
bool RequestSignatureVerifies(const Der& request, const std::string& folder, std::string* text);

// What the independent reader reads from a DER request.
struct RequestFacts {
  bool parsed = false;
  int version = -1;
  int nameEntries = 0;       // attributes in the subject
  int nameRdns = 0;          // RDNs in the subject
  std::string cnOid;         // dotted OID of the first attribute
  int cnType = 0;            // its ASN.1 universal tag (BMPString 30)
  Der cnValue;               // its content octets
  int attributes = -1;       // request attributes
  std::string signatureOid;  // dotted signature algorithm OID
  bool signatureParamsNull = false;
  int keyBits = 0;
  Der spki;  // the request's SubjectPublicKeyInfo DER
};
RequestFacts ReadRequest(const Der& request);

}  // namespace zyq::test
