// The enrollment tests' certification authority on Windows, over CryptoAPI: ephemeral keys in
// verification contexts, certificates signed by CryptSignAndEncodeCertificate, requests read by
// CryptDecodeObjectEx and checked by CryptVerifyCertificateSignatureEx. Only the outer framing
// of a request (which element is the name, the key, the attributes) is split here, and the
// certs-only PKCS#7 answer is framed here around the certificates; CryptoAPI makes and
// interprets every certificate, name and key.
#include <windows.h>
// (the headers below need windows.h first)
#include <wincrypt.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/enroll/TestAuthority.h"
#include "tests/support/IndependentReference.h"

namespace zyq::test {
namespace {

class Provider {
 public:
  Provider() = default;
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;
  ~Provider() {
    if (handle_) CryptReleaseContext(handle_, 0);
  }
  // A verification context of the AES provider (SHA-256 signatures) holding a fresh key.
  bool Open(DWORD keySpec, DWORD bits) {
    if (!CryptAcquireContextA(&handle_, nullptr, MS_ENH_RSA_AES_PROV_A, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
      handle_ = 0;
      return false;
    }
    HCRYPTKEY key = 0;
    if (!CryptGenKey(handle_, keySpec, bits << 16, &key)) return false;
    CryptDestroyKey(key);
    return true;
  }
  HCRYPTPROV get() const { return handle_; }

 private:
  HCRYPTPROV handle_ = 0;
};

// Memory that CryptDecodeObjectEx allocated (CRYPT_DECODE_ALLOC_FLAG).
template <typename T>
class Decoded {
 public:
  Decoded() = default;
  Decoded(const Decoded&) = delete;
  Decoded& operator=(const Decoded&) = delete;
  ~Decoded() {
    if (value_) LocalFree(value_);
  }
  bool Decode(LPCSTR type, const Der& der) {
    DWORD size = 0;
    return CryptDecodeObjectEx(X509_ASN_ENCODING, type, der.data(), static_cast<DWORD>(der.size()),
                               CRYPT_DECODE_ALLOC_FLAG, nullptr, &value_, &size) != 0;
  }
  const T* operator->() const { return value_; }
  const T* get() const { return value_; }

 private:
  T* value_ = nullptr;
};

Der Encode(LPCSTR type, const void* value) {
  DWORD size = 0;
  if (!CryptEncodeObjectEx(X509_ASN_ENCODING, type, value, 0, nullptr, nullptr, &size)) return {};
  Der out(size);
  if (!CryptEncodeObjectEx(X509_ASN_ENCODING, type, value, 0, nullptr, out.data(), &size)) {
    return {};
  }
  out.resize(size);
  return out;
}

CRYPT_DER_BLOB Blob(const Der& der) {
  return CRYPT_DER_BLOB{static_cast<DWORD>(der.size()), const_cast<BYTE*>(der.data())};
}

// One DER element of the tag and content.
Der Tlv(uint8_t tag, const Der& content) {
  Der out = {tag};
  const size_t n = content.size();
  if (n < 0x80) {
    out.push_back(static_cast<uint8_t>(n));
  } else {
    Der length;
    for (size_t v = n; v != 0; v >>= 8) length.insert(length.begin(), static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(0x80 | length.size()));
    out.insert(out.end(), length.begin(), length.end());
  }
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

// The elements inside one DER element (short and long definite lengths); empty when the
// bytes do not frame.
std::vector<Der> Children(const Der& der) {
  std::vector<Der> out;
  size_t pos = 0;
  auto length = [&](size_t at, size_t* header, size_t* n) {
    if (at + 2 > der.size()) return false;
    const uint8_t first = der[at + 1];
    if (first < 0x80) {
      *header = 2;
      *n = first;
    } else {
      const size_t count = first & 0x7f;
      if (count == 0 || count > 3 || at + 2 + count > der.size()) return false;
      *n = 0;
      for (size_t i = 0; i < count; ++i) *n = (*n << 8) | der[at + 2 + i];
      *header = 2 + count;
    }
    return at + *header + *n <= der.size();
  };
  size_t header = 0, n = 0;
  if (!length(0, &header, &n) || header + n != der.size()) return out;
  for (pos = header; pos < der.size();) {
    size_t h = 0, m = 0;
    if (!length(pos, &h, &m)) return {};
    out.emplace_back(der.begin() + static_cast<long>(pos),
                     der.begin() + static_cast<long>(pos + h + m));
    pos += h + m;
  }
  return out;
}

// The parts of a request: the signed content's elements (version, subject, key, attributes).
struct RequestParts {
  Der version, subject, spki, attributes;
};

bool Split(const Der& request, RequestParts* parts) {
  const std::vector<Der> outer = Children(request);
  if (outer.size() != 3) return false;
  const std::vector<Der> info = Children(outer[0]);
  if (info.size() != 4 || info[3].empty() || info[3][0] != 0xa0) return false;
  *parts = RequestParts{info[0], info[1], info[2], info[3]};
  return true;
}

// A name of UTF8String attributes, one per RDN: organization (when given), then common name.
Der MakeName(const std::string& commonName, const char* organization) {
  std::vector<std::wstring> values;
  std::vector<const char*> oids;
  if (organization) {
    values.emplace_back(organization, organization + strlen(organization));
    oids.push_back(szOID_ORGANIZATION_NAME);
  }
  const int n = MultiByteToWideChar(CP_UTF8, 0, commonName.data(),
                                    static_cast<int>(commonName.size()), nullptr, 0);
  std::wstring cn(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, commonName.data(), static_cast<int>(commonName.size()), cn.data(),
                      n);
  values.push_back(cn);
  oids.push_back(szOID_COMMON_NAME);
  std::vector<CERT_RDN_ATTR> attrs(values.size());
  std::vector<CERT_RDN> rdns(values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    attrs[i].pszObjId = const_cast<char*>(oids[i]);
    attrs[i].dwValueType = CERT_RDN_UTF8_STRING;
    attrs[i].Value.cbData = static_cast<DWORD>(values[i].size() * sizeof(wchar_t));
    attrs[i].Value.pbData = reinterpret_cast<BYTE*>(values[i].data());
    rdns[i] = CERT_RDN{1, &attrs[i]};
  }
  CERT_NAME_INFO name{static_cast<DWORD>(rdns.size()), rdns.data()};
  return Encode(X509_UNICODE_NAME, &name);
}

// The public key of a provider's key as SubjectPublicKeyInfo DER.
Der PublicKeyInfo(HCRYPTPROV prov, DWORD keySpec) {
  DWORD size = 0;
  if (!CryptExportPublicKeyInfo(prov, keySpec, X509_ASN_ENCODING, nullptr, &size)) return {};
  std::vector<BYTE> buffer(size);
  auto* info = reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(buffer.data());
  if (!CryptExportPublicKeyInfo(prov, keySpec, X509_ASN_ENCODING, info, &size)) return {};
  return Encode(X509_PUBLIC_KEY_INFO, info);
}

// A certificate of subject and key signed with the signer's AT_SIGNATURE key, valid from an
// hour ago for a year, with the key usage byte (bits as in the first octet of KeyUsage) and,
// for an authority, the CA basic constraint (both critical).
Der MakeCertificate(const Der& subject, const Der& spki, const Der& issuer, HCRYPTPROV signer,
                    long serial, BYTE keyUsage, bool ca) {
  Decoded<CERT_PUBLIC_KEY_INFO> key;
  if (!key.Decode(X509_PUBLIC_KEY_INFO, spki)) return {};
  Der serialBytes;  // little-endian, with a zero byte when the top bit would make it negative
  for (unsigned long s = static_cast<unsigned long>(serial); s != 0; s >>= 8) {
    serialBytes.push_back(static_cast<uint8_t>(s & 0xff));
  }
  if (serialBytes.empty() || (serialBytes.back() & 0x80)) serialBytes.push_back(0);

  CRYPT_BIT_BLOB usage{1, &keyUsage, 0};
  const Der usageDer = Encode(X509_KEY_USAGE, &usage);
  CERT_BASIC_CONSTRAINTS2_INFO constraints{TRUE, FALSE, 0};
  const Der constraintsDer = Encode(X509_BASIC_CONSTRAINTS2, &constraints);
  std::vector<CERT_EXTENSION> extensions;
  if (ca) {
    extensions.push_back(
        CERT_EXTENSION{const_cast<char*>(szOID_BASIC_CONSTRAINTS2), TRUE, Blob(constraintsDer)});
  }
  extensions.push_back(CERT_EXTENSION{const_cast<char*>(szOID_KEY_USAGE), TRUE, Blob(usageDer)});

  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const ULONGLONG hour = 36000000000ull;
  const ULONGLONG t = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  const ULONGLONG from = t - hour, to = t + 365 * 24 * hour;

  CERT_INFO info{};
  info.dwVersion = CERT_V3;
  info.SerialNumber = Blob(serialBytes);
  info.SignatureAlgorithm.pszObjId = const_cast<char*>(szOID_RSA_SHA256RSA);
  info.Issuer = Blob(issuer);
  info.NotBefore = FILETIME{static_cast<DWORD>(from), static_cast<DWORD>(from >> 32)};
  info.NotAfter = FILETIME{static_cast<DWORD>(to), static_cast<DWORD>(to >> 32)};
  info.Subject = Blob(subject);
  info.SubjectPublicKeyInfo = *key.get();
  info.cExtension = static_cast<DWORD>(extensions.size());
  info.rgExtension = extensions.data();

  CRYPT_ALGORITHM_IDENTIFIER algorithm{const_cast<char*>(szOID_RSA_SHA256RSA), {0, nullptr}};
  DWORD size = 0;
  if (!CryptSignAndEncodeCertificate(signer, AT_SIGNATURE, X509_ASN_ENCODING,
                                     X509_CERT_TO_BE_SIGNED, &info, &algorithm, nullptr, nullptr,
                                     &size)) {
    return {};
  }
  Der out(size);
  if (!CryptSignAndEncodeCertificate(signer, AT_SIGNATURE, X509_ASN_ENCODING,
                                     X509_CERT_TO_BE_SIGNED, &info, &algorithm, nullptr, out.data(),
                                     &size)) {
    return {};
  }
  out.resize(size);
  return out;
}

// The subject name of a DER certificate, as encoded.
Der SubjectOf(const Der& cert) {
  Decoded<CERT_INFO> info;
  if (!info.Decode(X509_CERT_TO_BE_SIGNED, cert)) return {};
  return Der(info->Subject.pbData, info->Subject.pbData + info->Subject.cbData);
}

// The ASN.1 universal tag of a CryptoAPI name value type.
int UniversalTag(DWORD valueType) {
  switch (valueType) {
    case CERT_RDN_NUMERIC_STRING:
      return 0x12;
    case CERT_RDN_PRINTABLE_STRING:
      return 0x13;
    case CERT_RDN_TELETEX_STRING:
      return 0x14;
    case CERT_RDN_IA5_STRING:
      return 0x16;
    case CERT_RDN_VISIBLE_STRING:
      return 0x1a;
    case CERT_RDN_UNIVERSAL_STRING:
      return 0x1c;
    case CERT_RDN_BMP_STRING:
      return 0x1e;
    case CERT_RDN_UTF8_STRING:
      return 0x0c;
    default:
      return 0;
  }
}

constexpr BYTE kDigitalSignature = 0x80;
constexpr BYTE kKeyEncipherment = 0x20;
constexpr BYTE kKeyCertSign = 0x04;
constexpr BYTE kCrlSign = 0x02;

}  // namespace

struct TestAuthority::Keys {
  Provider root;
  Provider issuing;
  Der issuingName;
};

TestAuthority::TestAuthority() : keys_(std::make_unique<Keys>()) {
  if (!keys_->root.Open(AT_SIGNATURE, 1024) || !keys_->issuing.Open(AT_SIGNATURE, 1024)) return;
  const Der rootName = MakeName("Test Root CA", "Enroll Tests");
  keys_->issuingName = MakeName("Test Issuing CA", "Enroll Tests");
  root_ = MakeCertificate(rootName, PublicKeyInfo(keys_->root.get(), AT_SIGNATURE), rootName,
                          keys_->root.get(), 1, kKeyCertSign | kCrlSign, true);
  intermediate_ =
      MakeCertificate(keys_->issuingName, PublicKeyInfo(keys_->issuing.get(), AT_SIGNATURE),
                      rootName, keys_->root.get(), 2, kKeyCertSign | kCrlSign, true);
}

TestAuthority::~TestAuthority() = default;

Der TestAuthority::Issue(const Der& request, long serial) {
  RequestParts parts;
  if (intermediate_.empty() || !Split(request, &parts)) return {};
  return MakeCertificate(parts.subject, parts.spki, SubjectOf(intermediate_), keys_->issuing.get(),
                         serial, kDigitalSignature | kKeyEncipherment, false);
}

Der TestAuthority::IssueForKey(const Der& spki, const std::string& commonName, long serial) {
  if (intermediate_.empty()) return {};
  return MakeCertificate(MakeName(commonName, nullptr), spki, SubjectOf(intermediate_),
                         keys_->issuing.get(), serial, kDigitalSignature, false);
}

Der ForeignPublicKeyInfo(int bits) {
  Provider prov;
  if (!prov.Open(AT_KEYEXCHANGE, static_cast<DWORD>(bits))) return {};
  return PublicKeyInfo(prov.get(), AT_KEYEXCHANGE);
}

Der FromBase64(const std::string& text) {
  DWORD size = 0;
  if (text.empty() ||
      !CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64,
                            nullptr, &size, nullptr, nullptr)) {
    return {};
  }
  Der out(size);
  if (!CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64,
                            out.data(), &size, nullptr, nullptr)) {
    return {};
  }
  out.resize(size);
  return out;
}

std::string ToBase64(const Der& der) {
  return Base64Reference(der);
}

std::string Armoured(const Der& der, const std::string& label) {
  const std::string body = ToBase64(der);
  std::string text = "-----BEGIN " + label + "-----\r\n";
  for (size_t i = 0; i < body.size(); i += 64) text += body.substr(i, 64) + "\r\n";
  return text + "-----END " + label + "-----\r\n";
}

std::string Pkcs7Bundle(const std::vector<Der>& certificates, const std::string& /*folder*/,
                        bool pem) {
  // SignedData { version 1, digestAlgorithms {}, contentInfo { data }, certificates [0] in this
  // order, signerInfos {} }: CryptMsg's certs-only encoding under Wine leaves out the empty
  // digestAlgorithms set, so the message is put together here from its fixed parts.
  Der certs;
  for (const Der& cert : certificates) certs.insert(certs.end(), cert.begin(), cert.end());
  const Der data = {0x30, 0x0b, 0x06, 0x09, 0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x01, 0x07, 0x01};
  Der body = {0x02, 0x01, 0x01, 0x31, 0x00};
  body.insert(body.end(), data.begin(), data.end());
  if (!certificates.empty()) {
    const Der tagged = Tlv(0xa0, certs);
    body.insert(body.end(), tagged.begin(), tagged.end());
  }
  body.insert(body.end(), {0x31, 0x00});
  Der info = {0x06, 0x09, 0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x01, 0x07, 0x02};
  const Der explicitContent = Tlv(0xa0, Tlv(0x30, body));
  info.insert(info.end(), explicitContent.begin(), explicitContent.end());
  const Der message = Tlv(0x30, info);
  if (!pem) return std::string(message.begin(), message.end());
  const std::string text = ToBase64(message);
  std::string out = "-----BEGIN PKCS7-----\n";
  for (size_t i = 0; i < text.size(); i += 64) out += text.substr(i, 64) + "\n";
  return out + "-----END PKCS7-----\n";
}

bool RequestSignatureVerifies(const Der& request, const std::string& /*folder*/,
                              std::string* text) {
  RequestParts parts;
  Decoded<CERT_PUBLIC_KEY_INFO> key;
  if (!Split(request, &parts) || !key.Decode(X509_PUBLIC_KEY_INFO, parts.spki)) {
    if (text) *text = "not a request";
    return false;
  }
  CRYPT_DER_BLOB subject = Blob(request);
  const BOOL ok =
      CryptVerifyCertificateSignatureEx(0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_BLOB,
                                        &subject, CRYPT_VERIFY_CERT_SIGN_ISSUER_PUBKEY,
                                        const_cast<CERT_PUBLIC_KEY_INFO*>(key.get()), 0, nullptr);
  if (text) {
    *text =
        ok ? "signature verifies"
           : "CryptVerifyCertificateSignatureEx failed, error " + std::to_string(GetLastError());
  }
  return ok != 0;
}

RequestFacts ReadRequest(const Der& request) {
  RequestFacts facts;
  RequestParts parts;
  Decoded<CERT_SIGNED_CONTENT_INFO> signedContent;
  Decoded<int> version;
  Decoded<CERT_NAME_INFO> name;
  Decoded<CERT_PUBLIC_KEY_INFO> key;
  if (!Split(request, &parts) || !signedContent.Decode(X509_CERT, request) ||
      !version.Decode(X509_INTEGER, parts.version) || !name.Decode(X509_NAME, parts.subject) ||
      !key.Decode(X509_PUBLIC_KEY_INFO, parts.spki)) {
    return facts;
  }
  facts.parsed = true;
  facts.version = *version.get();
  facts.nameRdns = static_cast<int>(name->cRDN);
  facts.nameEntries = 0;
  for (DWORD i = 0; i < name->cRDN; ++i) {
    facts.nameEntries += static_cast<int>(name->rgRDN[i].cRDNAttr);
  }
  if (name->cRDN > 0 && name->rgRDN[0].cRDNAttr > 0) {
    const CERT_RDN_ATTR& first = name->rgRDN[0].rgRDNAttr[0];
    facts.cnOid = first.pszObjId;
    facts.cnType = UniversalTag(first.dwValueType);
    const BYTE* value = first.Value.pbData;
    if (first.dwValueType == CERT_RDN_BMP_STRING) {
      // CryptoAPI gives the characters as WCHARs; the content octets are big-endian.
      for (DWORD i = 0; i + 1 < first.Value.cbData; i += 2) {
        facts.cnValue.push_back(value[i + 1]);
        facts.cnValue.push_back(value[i]);
      }
    } else {
      facts.cnValue.assign(value, value + first.Value.cbData);
    }
  }
  facts.attributes = static_cast<int>(Children(parts.attributes).size());
  const CRYPT_ALGORITHM_IDENTIFIER& algorithm = signedContent->SignatureAlgorithm;
  facts.signatureOid = algorithm.pszObjId;
  facts.signatureParamsNull = algorithm.Parameters.cbData == 2 &&
                              algorithm.Parameters.pbData[0] == 0x05 &&
                              algorithm.Parameters.pbData[1] == 0x00;
  Decoded<BYTE> blob;
  const Der rsaKey(key->PublicKey.pbData, key->PublicKey.pbData + key->PublicKey.cbData);
  if (blob.Decode(RSA_CSP_PUBLICKEYBLOB, rsaKey)) {
    const auto* rsa = reinterpret_cast<const RSAPUBKEY*>(blob.get() + sizeof(BLOBHEADER));
    facts.keyBits = static_cast<int>(rsa->bitlen);
  }
  facts.spki = parts.spki;
  return facts;
}

}  // namespace zyq::test
