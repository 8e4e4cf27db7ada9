// Decoding of X.509 certificates into the fields of CERT_INFO, with our own bounds-checked DER
// reader so that every malformed input maps to an ASN.1 error code.
#include <algorithm>
#include <chrono>

#include "platform/Certificates.h"
#include "platform/CryptoKeys.h"
#include "platform/common/certs/Der.h"
#include "platform/common/certs/Digest.h"

namespace zyq::platform {
namespace {

using common::der::Element;
using common::der::Reader;
namespace der = common::der;

// 1601-01-01 to 1970-01-01 in seconds.
constexpr int64_t kEpochDifference = 11644473600;

Bytes ToBytes(ByteView v) {
  return Bytes(v.begin(), v.end());
}

Bytes StripLeadingZeros(ByteView v) {
  size_t i = 0;
  while (i < v.size() && v[i] == 0) ++i;
  return Bytes(v.begin() + static_cast<ptrdiff_t>(i), v.end());
}

// AlgorithmIdentifier: SEQUENCE { OID, parameters ANY OPTIONAL }.
SysError ReadAlgorithm(Reader& r, std::string* oid, Bytes* whole = nullptr) {
  Element alg, id;
  if (SysError err = r.Expect(der::kSequence, &alg)) return err;
  Reader inner(alg.content);
  if (SysError err = inner.Expect(der::kOid, &id)) return err;
  if (SysError err = der::OidToText(id.content, oid)) return err;
  if (!inner.AtEnd()) {
    Element params;
    if (SysError err = inner.Next(&params)) return err;
    if (!inner.AtEnd()) return kCryptEAsn1Corrupt;
  }
  if (whole) *whole = ToBytes(alg.whole);
  return kErrorSuccess;
}

SysError ReadTime(Reader& r, FileTime* out) {
  Element t;
  if (SysError err = r.Next(&t)) return err;
  return der::TimeToFileTime(t.tag, t.content, out);
}

SysError ReadRsaKey(ByteView keyBits, DecodedCertificate* out) {
  Element seq, n, e;
  if (SysError err = der::ParseSingle(keyBits, der::kSequence, &seq)) return err;
  Reader r(seq.content);
  if (SysError err = r.Expect(der::kInteger, &n)) return err;
  if (SysError err = r.Expect(der::kInteger, &e)) return err;
  if (!r.AtEnd() || n.content.empty() || e.content.empty()) return kCryptEAsn1Corrupt;
  out->rsaModulus = StripLeadingZeros(n.content);
  out->rsaPublicExponent = StripLeadingZeros(e.content);
  return kErrorSuccess;
}

SysError ReadPublicKeyInfo(Reader& r, DecodedCertificate* out) {
  Element spki, bits;
  if (SysError err = r.Expect(der::kSequence, &spki)) return err;
  out->subjectPublicKeyInfo = ToBytes(spki.whole);
  Reader inner(spki.content);
  if (SysError err = ReadAlgorithm(inner, &out->publicKeyAlgorithm, &out->publicKeyAlgorithmId)) {
    return err;
  }
  if (SysError err = inner.Expect(der::kBitString, &bits)) return err;
  if (!inner.AtEnd() || bits.content.empty() || bits.content[0] > 7) return kCryptEAsn1Corrupt;
  out->publicKey = ToBytes(bits.content.subspan(1));
  // An RSA key that does not decode leaves the modulus empty: CryptoAPI keeps the key bits as a
  // blob and only fails when the key is imported.
  if (out->publicKeyAlgorithm == kOidRsaEncryption) {
    out->rsaModulus.clear();
    if (ReadRsaKey(out->publicKey, out) != kErrorSuccess) {
      out->rsaModulus.clear();
      out->rsaPublicExponent.clear();
    }
  }
  return kErrorSuccess;
}

SysError ReadExtensions(ByteView content, std::vector<CertExtension>* out) {
  Element list;
  if (SysError err = der::ParseSingle(content, der::kSequence, &list)) return err;
  Reader r(list.content);
  while (!r.AtEnd()) {
    Element ext, id, crit, value;
    if (SysError err = r.Expect(der::kSequence, &ext)) return err;
    Reader e(ext.content);
    CertExtension item;
    if (SysError err = e.Expect(der::kOid, &id)) return err;
    if (SysError err = der::OidToText(id.content, &item.oid)) return err;
    SysError err = kErrorSuccess;
    if (e.Optional(der::kBoolean, &crit, &err)) {
      if (err) return err;
      if (crit.content.size() != 1) return kCryptEAsn1Corrupt;
      item.critical = crit.content[0] != 0;
    }
    if (SysError err2 = e.Expect(der::kOctetString, &value)) return err2;
    if (!e.AtEnd()) return kCryptEAsn1Corrupt;
    item.value = ToBytes(value.content);
    out->push_back(std::move(item));
  }
  return kErrorSuccess;
}

SysError DecodeTbs(ByteView tbsContent, DecodedCertificate* out) {
  Reader r(tbsContent);
  Element e;
  SysError err = kErrorSuccess;
  out->version = 0;
  if (r.Optional(der::ContextConstructed(0), &e, &err)) {
    if (err) return err;
    Element v;
    if (SysError e2 = der::ParseSingle(e.content, der::kInteger, &v)) return e2;
    int64_t version = 0;
    if (SysError e2 = der::SmallInteger(v.content, &version)) return e2;
    if (version > 2) return kCryptEAsn1Corrupt;
    out->version = static_cast<uint32_t>(version);
  }
  if (SysError e2 = r.Expect(der::kInteger, &e)) return e2;
  if (e.content.empty()) return kCryptEAsn1Corrupt;
  out->serialNumber.assign(e.content.rbegin(), e.content.rend());
  std::string tbsSignature;
  if (SysError e2 = ReadAlgorithm(r, &tbsSignature)) return e2;
  if (SysError e2 = r.Expect(der::kSequence, &e)) return e2;
  out->issuer = ToBytes(e.whole);
  Element validity;
  if (SysError e2 = r.Expect(der::kSequence, &validity)) return e2;
  Reader v(validity.content);
  if (SysError e2 = ReadTime(v, &out->notBefore)) return e2;
  if (SysError e2 = ReadTime(v, &out->notAfter)) return e2;
  if (!v.AtEnd()) return kCryptEAsn1Corrupt;
  if (SysError e2 = r.Expect(der::kSequence, &e)) return e2;
  out->subject = ToBytes(e.whole);
  if (SysError e2 = ReadPublicKeyInfo(r, out)) return e2;
  if (r.Optional(der::ContextPrimitive(1), &e, &err) && err) return err;
  if (r.Optional(der::ContextPrimitive(2), &e, &err) && err) return err;
  if (r.Optional(der::ContextConstructed(3), &e, &err)) {
    if (err) return err;
    if (SysError e2 = ReadExtensions(e.content, &out->extensions)) return e2;
  }
  if (!r.AtEnd()) return kCryptEAsn1Corrupt;
  return kErrorSuccess;
}

}  // namespace

FileTime CurrentFileTime() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const int64_t ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100;
  return static_cast<FileTime>(ticks + kEpochDifference * 10000000);
}

FileTime FileTimeFromUnixSeconds(int64_t seconds) {
  return static_cast<FileTime>((seconds + kEpochDifference) * 10000000);
}

int64_t UnixSecondsFromFileTime(FileTime time) {
  return static_cast<int64_t>(time / 10000000) - kEpochDifference;
}

const CertExtension* DecodedCertificate::FindExtension(std::string_view oid) const {
  for (const CertExtension& e : extensions) {
    if (e.oid == oid) return &e;
  }
  return nullptr;
}

SysError DecodeCertificate(ByteView data, DecodedCertificate* out) {
  *out = DecodedCertificate{};
  Element cert, tbs, sig;
  if (SysError err = der::ParseSingle(data, der::kSequence, &cert)) return err;
  Reader r(cert.content);
  if (SysError err = r.Expect(der::kSequence, &tbs)) return err;
  if (SysError err = ReadAlgorithm(r, &out->signatureAlgorithm)) return err;
  if (SysError err = r.Expect(der::kBitString, &sig)) return err;
  if (!r.AtEnd() || sig.content.empty()) return kCryptEAsn1Corrupt;
  if (SysError err = DecodeTbs(tbs.content, out)) {
    *out = DecodedCertificate{};
    return err;
  }
  out->encoded = ToBytes(data);
  Bytes thumbprint;
  if (!common::ComputeDigest(kCalgSha1, data, &thumbprint) ||
      thumbprint.size() != out->sha1Thumbprint.size()) {
    *out = DecodedCertificate{};
    return kNteFail;
  }
  std::copy(thumbprint.begin(), thumbprint.end(), out->sha1Thumbprint.begin());
  return kErrorSuccess;
}

bool IntendedKeyUsage(const DecodedCertificate& cert, Bytes* usage, SysError* error) {
  usage->clear();
  if (error) *error = kErrorSuccess;
  const CertExtension* ext = cert.FindExtension("2.5.29.15");
  if (ext == nullptr) return false;
  Element bits;
  SysError err = der::ParseSingle(ext->value, der::kBitString, &bits);
  if (!err && (bits.content.empty() || bits.content[0] > 7)) err = kCryptEAsn1Corrupt;
  if (err) {
    if (error) *error = err;
    return false;
  }
  usage->assign(bits.content.begin() + 1, bits.content.end());
  return true;
}

uint8_t KeyUsageByte(const DecodedCertificate& cert) {
  Bytes usage;
  if (!IntendedKeyUsage(cert, &usage) || usage.empty()) return 0;
  return usage[0];
}

BasicConstraints GetBasicConstraints(const DecodedCertificate& cert) {
  BasicConstraints bc;
  const CertExtension* ext = cert.FindExtension("2.5.29.19");
  if (ext == nullptr) return bc;
  bc.present = true;
  Element seq, e;
  if (der::ParseSingle(ext->value, der::kSequence, &seq)) return bc;
  Reader r(seq.content);
  SysError err = kErrorSuccess;
  if (r.Optional(der::kBoolean, &e, &err) && !err && e.content.size() == 1) {
    bc.isCa = e.content[0] != 0;
  }
  if (r.Optional(der::kInteger, &e, &err) && !err) {
    int64_t n = 0;
    if (der::SmallInteger(e.content, &n) == kErrorSuccess && n < (1 << 30)) {
      bc.pathLength = static_cast<int>(n);
    }
  }
  return bc;
}

bool SameIssuerAndSerial(const DecodedCertificate& a, const DecodedCertificate& b) {
  return a.issuer == b.issuer && a.serialNumber == b.serialNumber;
}

}  // namespace zyq::platform
