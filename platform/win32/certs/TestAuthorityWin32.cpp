// The demonstration authority over CryptoAPI: an ephemeral RSA key in a verification context
// (nothing is stored), certificates and the certs-only PKCS#7 answer written with the project's
// own DER code and signed with CryptSignHash; the checks of the receiving party with
// CryptVerifyMessageSignature and CryptVerifySignature.
#include <windows.h>
// (the headers below need windows.h first)
#include <wincrypt.h>

#include <algorithm>
#include <memory>
#include <string>

#include "platform/CryptMessages.h"
#include "platform/CryptoKeys.h"
#include "platform/TestAuthority.h"
#include "platform/common/certs/Der.h"
#include "platform/common/keys/PublicKeyInfo.h"
#include "platform/win32/WinHandles.h"
#include "platform/win32/keys/KeyBlobs.h"

namespace zyq::platform {
namespace {

namespace der = common::der;
using win32::HashOwner;
using win32::KeyOwner;
using win32::LastError;
using win32::ProvOwner;

constexpr const char* kOidSha256Rsa = "1.2.840.113549.1.1.11";
constexpr const char* kOidSignedData = "1.2.840.113549.1.7.2";
constexpr const char* kOidData = "1.2.840.113549.1.7.1";
constexpr FileTime kHour = 36000000000ull;
constexpr FileTime kDay = 24 * kHour;

Bytes AlgorithmSha256Rsa() {
  return der::Constructed(der::kSequence,
                          {der::OidElement(kOidSha256Rsa), der::Tlv(der::kNull, Bytes{})});
}

// UTCTime for the years 1950..2049, GeneralizedTime after.
Bytes TimeElement(FileTime time) {
  FILETIME ft{static_cast<DWORD>(time & 0xffffffffu), static_cast<DWORD>(time >> 32)};
  SYSTEMTIME st;
  FileTimeToSystemTime(&ft, &st);
  char text[32];
  if (st.wYear < 2050) {
    snprintf(text, sizeof text, "%02u%02u%02u%02u%02u%02uZ", st.wYear % 100u, st.wMonth, st.wDay,
             st.wHour, st.wMinute, st.wSecond);
    return der::Tlv(der::kUtcTime, Bytes(text, text + strlen(text)));
  }
  snprintf(text, sizeof text, "%04u%02u%02u%02u%02u%02uZ", st.wYear, st.wMonth, st.wDay, st.wHour,
           st.wMinute, st.wSecond);
  return der::Tlv(der::kGeneralizedTime, Bytes(text, text + strlen(text)));
}

Bytes Extension(const char* oid, bool critical, const Bytes& value) {
  if (critical) {
    return der::Constructed(der::kSequence,
                            {der::OidElement(oid), der::Tlv(der::kBoolean, Bytes{0xff}),
                             der::Tlv(der::kOctetString, value)});
  }
  return der::Constructed(der::kSequence,
                          {der::OidElement(oid), der::Tlv(der::kOctetString, value)});
}

class WindowsTestAuthority final : public TestAuthority {
 public:
  SysError Init(std::string_view commonName) {
    if (!CryptAcquireContextA(prov_.out(), nullptr, MS_ENH_RSA_AES_PROV_A, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT | CRYPT_SILENT) ||
        !CryptGenKey(prov_.get(), AT_SIGNATURE, (2048u << 16) | CRYPT_EXPORTABLE, key_.out())) {
      return kNteFail;
    }
    DWORD size = 0;
    if (!CryptExportKey(key_.get(), 0, PUBLICKEYBLOB, 0, nullptr, &size)) return kNteFail;
    std::vector<uint8_t> blob(size), rsaPublicKey;
    if (!CryptExportKey(key_.get(), 0, PUBLICKEYBLOB, 0, blob.data(), &size) ||
        win32::BlobToRsaPublicKey(blob, &rsaPublicKey) != kErrorSuccess) {
      return kNteFail;
    }
    spki_ = common::RsaPublicKeyInfo(rsaPublicKey);
    const std::string name(commonName);
    name_ = der::Constructed(
        der::kSequence,
        {der::SetOf({der::Constructed(
            der::kSequence, {der::OidElement(kOidCommonName),
                             der::Tlv(der::kUtf8String, Bytes(name.begin(), name.end()))})})});
    const FileTime now = CurrentFileTime();
    const Bytes extensions = der::Tlv(
        der::ContextConstructed(3),
        der::Constructed(
            der::kSequence,
            {Extension("2.5.29.19", true,
                       der::Constructed(der::kSequence, {der::Tlv(der::kBoolean, Bytes{0xff})})),
             Extension("2.5.29.15", true, der::Tlv(der::kBitString, Bytes{0x01, 0x06}))}));
    return Sign(Tbs(Bytes{0x01}, name_, now - kHour, now + 3653 * kDay, spki_, extensions),
                &certificate_);
  }

  const Bytes& certificate() const override { return certificate_; }

  SysError Issue(ByteView request, uint64_t serial, int days, Bytes* certificate,
                 Bytes* pkcs7) override {
    der::Element outer, info, algorithm, signature;
    if (der::ParseSingle(request, der::kSequence, &outer)) return kCryptEAsn1Badtag;
    der::Reader r(outer.content);
    if (r.Expect(der::kSequence, &info) || r.Expect(der::kSequence, &algorithm) ||
        r.Expect(der::kBitString, &signature) || signature.content.empty()) {
      return kCryptEAsn1Badtag;
    }
    der::Reader fields(info.content);
    der::Element version, subject, spki;
    if (fields.Expect(der::kInteger, &version) || fields.Expect(der::kSequence, &subject) ||
        fields.Expect(der::kSequence, &spki)) {
      return kCryptEAsn1Badtag;
    }
    der::Reader alg(algorithm.content);
    der::Element oid;
    std::string dotted;
    if (alg.Expect(der::kOid, &oid) || der::OidToText(oid.content, &dotted)) {
      return kCryptEAsn1Badtag;
    }
    uint32_t hashAlg = 0;
    if (HashAlgorithmOfOid(dotted, &hashAlg)) return kNteBadSignature;
    bool valid = false;
    const Bytes sig(signature.content.begin() + 1, signature.content.end());
    if (VerifyWithKeyInfo(spki.whole, hashAlg, info.whole, sig, &valid) || !valid) {
      return kNteBadSignature;
    }

    Bytes serialBytes;
    for (int i = 7; i >= 0; --i) serialBytes.push_back(static_cast<uint8_t>(serial >> (8 * i)));
    const FileTime now = CurrentFileTime();
    const Bytes extensions =
        der::Tlv(der::ContextConstructed(3),
                 der::Constructed(
                     der::kSequence,
                     {Extension("2.5.29.15", true, der::Tlv(der::kBitString, Bytes{0x05, 0xe0}))}));
    Bytes issued;
    if (SysError err = Sign(Tbs(serialBytes, Bytes(subject.whole.begin(), subject.whole.end()),
                                now - kHour, now + static_cast<FileTime>(days) * kDay,
                                Bytes(spki.whole.begin(), spki.whole.end()), extensions),
                            &issued)) {
      return err;
    }
    Bytes certs = issued;
    certs.insert(certs.end(), certificate_.begin(), certificate_.end());
    const Bytes signedData = der::Constructed(
        der::kSequence,
        {der::SmallIntegerElement(1), der::Tlv(der::kSet, Bytes{}),
         der::Constructed(der::kSequence, {der::OidElement(kOidData)}),
         der::Tlv(der::ContextConstructed(0), certs), der::Tlv(der::kSet, Bytes{})});
    *pkcs7 = der::Constructed(der::kSequence, {der::OidElement(kOidSignedData),
                                               der::Tlv(der::ContextConstructed(0), signedData)});
    *certificate = std::move(issued);
    return kErrorSuccess;
  }

  // Checks a signature (most significant byte first) over data with a SubjectPublicKeyInfo.
  static SysError VerifyWithKeyInfo(ByteView spki, uint32_t hashAlg, ByteView data,
                                    const Bytes& signature, bool* valid) {
    CERT_PUBLIC_KEY_INFO* info = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, spki.data(),
                             static_cast<DWORD>(spki.size()), CRYPT_DECODE_ALLOC_FLAG, nullptr,
                             &info, &size)) {
      return LastError();
    }
    std::unique_ptr<CERT_PUBLIC_KEY_INFO, decltype(&LocalFree)> owned(info, &LocalFree);
    return VerifyWithInfo(*info, hashAlg, data, signature, valid);
  }

  static SysError VerifyWithInfo(CERT_PUBLIC_KEY_INFO& info, uint32_t hashAlg, ByteView data,
                                 const Bytes& signature, bool* valid) {
    ProvOwner prov;
    KeyOwner key;
    HashOwner hash;
    if (!CryptAcquireContextA(prov.out(), nullptr, MS_ENH_RSA_AES_PROV_A, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT | CRYPT_SILENT) ||
        !CryptImportPublicKeyInfo(prov.get(), X509_ASN_ENCODING, &info, key.out()) ||
        !CryptCreateHash(prov.get(), hashAlg, 0, 0, hash.out()) ||
        !CryptHashData(hash.get(), data.data(), static_cast<DWORD>(data.size()), 0)) {
      return LastError();
    }
    const Bytes little(signature.rbegin(), signature.rend());
    *valid = CryptVerifySignatureA(hash.get(), little.data(), static_cast<DWORD>(little.size()),
                                   key.get(), nullptr, 0) != FALSE;
    return kErrorSuccess;
  }

 private:
  Bytes Tbs(const Bytes& serial, const Bytes& subject, FileTime notBefore, FileTime notAfter,
            const Bytes& spki, const Bytes& extensions) const {
    return der::Constructed(
        der::kSequence,
        {der::Tlv(der::ContextConstructed(0), der::SmallIntegerElement(2)),
         der::UnsignedInteger(serial), AlgorithmSha256Rsa(), name_,
         der::Constructed(der::kSequence, {TimeElement(notBefore), TimeElement(notAfter)}), subject,
         spki, extensions});
  }

  SysError Sign(const Bytes& tbs, Bytes* out) const {
    HashOwner hash;
    if (!CryptCreateHash(prov_.get(), CALG_SHA_256, 0, 0, hash.out()) ||
        !CryptHashData(hash.get(), tbs.data(), static_cast<DWORD>(tbs.size()), 0)) {
      return kNteFail;
    }
    DWORD size = 0;
    if (!CryptSignHashA(hash.get(), AT_SIGNATURE, nullptr, 0, nullptr, &size)) return kNteFail;
    Bytes little(size);
    if (!CryptSignHashA(hash.get(), AT_SIGNATURE, nullptr, 0, little.data(), &size)) {
      return kNteFail;
    }
    Bytes bits{0x00};
    bits.insert(bits.end(), little.rbegin(), little.rend());
    *out = der::Constructed(der::kSequence,
                            {tbs, AlgorithmSha256Rsa(), der::Tlv(der::kBitString, bits)});
    return kErrorSuccess;
  }

  ProvOwner prov_;
  KeyOwner key_;
  Bytes spki_;
  Bytes name_;
  Bytes certificate_;
};

// The signer certificate handed to the message functions: the given one when the message
// carries none, else the message's certificate with the signer's issuer and serial number.
PCCERT_CONTEXT WINAPI GivenSigner(void* arg, DWORD encoding, PCERT_INFO signerId,
                                  HCERTSTORE store) {
  const auto* given = static_cast<const ByteView*>(arg);
  if (given != nullptr && !given->empty()) {
    return CertCreateCertificateContext(X509_ASN_ENCODING, given->data(),
                                        static_cast<DWORD>(given->size()));
  }
  return CertGetSubjectCertificateFromStore(store, encoding, signerId);
}

}  // namespace

SysError TestAuthority::Create(std::string_view commonName, std::unique_ptr<TestAuthority>* out) {
  auto authority = std::make_unique<WindowsTestAuthority>();
  if (SysError err = authority->Init(commonName)) return err;
  *out = std::move(authority);
  return kErrorSuccess;
}

SysError VerifySignedData(ByteView message, ByteView detachedContent, ByteView signerCertificate,
                          bool* valid) {
  DecodedMessage decoded;
  if (SysError err = DecodeMessage(message, &decoded)) return err;
  ByteView given = decoded.certificates.empty() ? signerCertificate : ByteView();
  CRYPT_VERIFY_MESSAGE_PARA para{};
  para.cbSize = sizeof(para);
  para.dwMsgAndCertEncodingType = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
  para.pfnGetSignerCertificate = GivenSigner;
  para.pvGetArg = &given;
  *valid = true;
  for (DWORD signer = 0; signer < std::max<uint32_t>(decoded.signerCount, 1); ++signer) {
    BOOL ok;
    if (decoded.hasContent) {
      ok = CryptVerifyMessageSignature(&para, signer, message.data(),
                                       static_cast<DWORD>(message.size()), nullptr, nullptr,
                                       nullptr);
    } else {
      const BYTE* parts[] = {detachedContent.data()};
      DWORD sizes[] = {static_cast<DWORD>(detachedContent.size())};
      ok = CryptVerifyDetachedMessageSignature(&para, signer, message.data(),
                                               static_cast<DWORD>(message.size()), 1, parts, sizes,
                                               nullptr);
    }
    *valid = *valid && ok != FALSE;
  }
  return kErrorSuccess;
}

SysError VerifyPkcs1Signature(ByteView certificate, uint32_t hashAlg, ByteView content,
                              ByteView signature, bool* valid) {
  if (hashAlg != kCalgSha1 && hashAlg != kCalgMd5 && hashAlg != kCalgSha256) {
    return kCryptEUnknownAlgo;
  }
  win32::CertOwner cert(CertCreateCertificateContext(X509_ASN_ENCODING, certificate.data(),
                                                     static_cast<DWORD>(certificate.size())));
  if (!cert) return kCryptEAsn1Badtag;
  return WindowsTestAuthority::VerifyWithInfo(cert.get()->pCertInfo->SubjectPublicKeyInfo, hashAlg,
                                              content, Bytes(signature.begin(), signature.end()),
                                              valid);
}

}  // namespace zyq::platform
