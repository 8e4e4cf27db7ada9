// Certificates and keys made for the tests with an implementation independent of the decoders
// under test (the OpenSSL library), with controlled names, serials, dates and usages. On
// Windows the same interface hands out what the Linux side prepared with that library before
// the program started (tests/win32/support/CertificatesPrepared.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Certificates.h"
#include "platform/DigestSigner.h"

namespace zyq::test {

using platform::Bytes;

// An RSA key of the tests, owned; empty when default-made or reset. What it holds is the
// helpers' own (an OpenSSL key on Linux, the name of a prepared key on Windows).
class TestKey {
 public:
  struct State;
  TestKey();
  explicit TestKey(std::unique_ptr<State> state);
  TestKey(TestKey&&) noexcept;
  TestKey& operator=(TestKey&&) noexcept;
  ~TestKey();

  explicit operator bool() const { return state_ != nullptr; }
  State* state() const { return state_.get(); }
  void reset() { *this = TestKey(); }

 private:
  std::unique_ptr<State> state_;
};

// A fresh RSA key (1024 bits unless asked otherwise; small keys keep the tests quick).
TestKey NewRsaKey(int bits = 1024);
std::string KeyPem(const TestKey& key);  // PKCS#8 PEM, unencrypted
Bytes KeyPkcs8Der(const TestKey& key);

// One attribute of a name. `type` is the ASN.1 universal tag of the value (0x13 Printable,
// 0x0c UTF8, 0x1e BMP, 0x16 IA5 ...); `value` holds the raw content octets of that type.
// `joinPrevious` puts the attribute into the previous RDN (a multi-valued RDN).
struct NameAttr {
  std::string oid;
  int type;
  std::string value;
  bool joinPrevious = false;
};
Bytes EncodeName(const std::vector<NameAttr>& attrs);

struct CertSpec {
  std::vector<NameAttr> subject;
  std::vector<NameAttr> issuer;    // empty: same as subject
  Bytes serial{0x01};              // big-endian magnitude
  int64_t notBefore = 1262401445;  // 2010-01-02 03:04:05 UTC
  int64_t notAfter = 4102444800;   // 2100-01-01 00:00:00 UTC
  std::string keyUsage;            // e.g. "critical,digitalSignature"; empty: no extension
  std::string basicConstraints;    // e.g. "critical,CA:TRUE"; empty: no extension

  CertSpec& Subject(std::vector<NameAttr> v) {
    subject = std::move(v);
    return *this;
  }
  CertSpec& Issuer(std::vector<NameAttr> v) {
    issuer = std::move(v);
    return *this;
  }
  CertSpec& Serial(Bytes v) {
    serial = std::move(v);
    return *this;
  }
  CertSpec& Validity(int64_t from, int64_t to) {
    notBefore = from;
    notAfter = to;
    return *this;
  }
  CertSpec& KeyUsage(std::string v) {
    keyUsage = std::move(v);
    return *this;
  }
  CertSpec& Ca() {
    basicConstraints = "critical,CA:TRUE";
    return *this;
  }
  CertSpec& Constraints(std::string v) {
    basicConstraints = std::move(v);
    return *this;
  }
};

// Makes a certificate for `subjectKey` signed by `issuerKey` (sha256WithRSAEncryption).
Bytes MakeCertificate(const CertSpec& spec, const TestKey& subjectKey, const TestKey& issuerKey);

// Byte helpers.
std::string ToString(const Bytes& b);
Bytes ToBytes(const std::string& s);
std::string Hex(const Bytes& b);
std::string Utf16Be(const std::u16string& s);

// A fresh folder under the test root for one test's files.
std::string NewWorkFolder();
// PEM of a DER certificate.
std::string CertPem(const Bytes& der);

}  // namespace zyq::test

namespace zyq::test {

// A DigestSigner over a test key (PKCS#1 v1.5, result least significant byte first).
platform::DigestSigner KeySigner(const TestKey& key);

}  // namespace zyq::test

namespace zyq::test {

// A PKCS#12 file written with the OpenSSL library: every entry's certificate, with its key when
// given (tied by localKeyID; the key must outlive the entry). pass null: the absent password.
// legacy: 3DES keys, RC2-40 certificates and a SHA-1 MAC; else AES-256 / PBKDF2 / SHA-256.
struct PfxEntry {
  Bytes cert;
  const TestKey* key = nullptr;
};
Bytes MakePfx(const std::vector<PfxEntry>& entries, const char* pass, bool legacy);

}  // namespace zyq::test
