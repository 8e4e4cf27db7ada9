// The PKCS#7 SignedData encoder, built byte for byte as CryptoAPI's message encoder builds it
// (OpenSSL's own CMS encoder adds attributes and cannot write every digest OID, so only the
// digests and the RSA operation come from elsewhere).
#include <cstring>

#include "platform/CryptMessages.h"
#include "platform/common/certs/Der.h"
#include "platform/common/certs/Digest.h"

namespace zyq::platform {
namespace {

namespace der = common::der;

constexpr const char* kOidData = "1.2.840.113549.1.7.1";
constexpr const char* kOidSignedData = "1.2.840.113549.1.7.2";
constexpr const char* kOidContentType = "1.2.840.113549.1.9.3";
constexpr const char* kOidMessageDigest = "1.2.840.113549.1.9.4";
constexpr const char* kOidSigningTime = "1.2.840.113549.1.9.5";

const Bytes kNull{der::kNull, 0x00};

// AlgorithmIdentifier { oid, NULL }.
Bytes AlgorithmWithNull(std::string_view oid) {
  const Bytes id = der::OidElement(oid);
  return der::Constructed(der::kSequence, {id, kNull});
}

// The certificate's public key algorithm identifier, with NULL parameters when it has none.
SysError KeyAlgorithm(const DecodedCertificate& cert, Bytes* out) {
  der::Element alg, id;
  if (SysError err = der::ParseSingle(cert.publicKeyAlgorithmId, der::kSequence, &alg)) {
    return err;
  }
  der::Reader r(alg.content);
  if (SysError err = r.Expect(der::kOid, &id)) return err;
  *out =
      r.AtEnd() ? der::Constructed(der::kSequence, {id.whole, kNull}) : cert.publicKeyAlgorithmId;
  return kErrorSuccess;
}

Bytes Attribute(std::string_view oid, const Bytes& value) {
  return der::Constructed(der::kSequence, {der::OidElement(oid), der::Tlv(der::kSet, value)});
}

}  // namespace

SysError HashAlgorithmOfOid(std::string_view oid, uint32_t* hashAlg) {
  struct Entry {
    const char* oid;
    uint32_t alg;
  };
  static constexpr Entry kTable[] = {
      {kOidSha1, kCalgSha1},
      {kOidSha1Rsa, kCalgSha1},
      {"1.3.14.3.2.29", kCalgSha1},  // sha1RSA (OIW)
      {kOidMd5, kCalgMd5},
      {kOidMd5Rsa, kCalgMd5},
      {kOidSha256, kCalgSha256},
      {"1.2.840.113549.1.1.11", kCalgSha256},
      {"2.16.840.1.101.3.4.2.2", kCalgSha384},
      {"1.2.840.113549.1.1.12", kCalgSha384},
      {"2.16.840.1.101.3.4.2.3", kCalgSha512},
      {"1.2.840.113549.1.1.13", kCalgSha512},
  };
  for (const Entry& e : kTable) {
    if (oid == e.oid) {
      *hashAlg = e.alg;
      return kErrorSuccess;
    }
  }
  return kCryptEUnknownAlgo;
}

SysError EncodeSigningTime(FileTime time, Bytes* encoded) {
  const int64_t seconds = UnixSecondsFromFileTime(time);
  int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  const int64_t secOfDay = seconds - days * 86400;
  // Civil date from days since 1970-01-01.
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  if (year < 1950 || year > 2049) return kCryptEBadEncode;
  char text[16];
  std::snprintf(text, sizeof text, "%02d%02d%02d%02d%02d%02dZ", static_cast<int>(year % 100),
                static_cast<int>(month), static_cast<int>(day), static_cast<int>(secOfDay / 3600),
                static_cast<int>(secOfDay / 60 % 60), static_cast<int>(secOfDay % 60));
  *encoded = der::Tlv(der::kUtcTime, ByteView(reinterpret_cast<const uint8_t*>(text), 13));
  return kErrorSuccess;
}

SysError EncodeSignedData(const SignedDataRequest& request, const DigestSigner& sign, Bytes* out) {
  if (request.signer == nullptr || !sign) return kEInvalidArg;
  const DecodedCertificate& signer = *request.signer;
  uint32_t hashAlg = 0;
  if (SysError err = HashAlgorithmOfOid(request.digestOid, &hashAlg)) return err;
  const Bytes digestAlgorithm = AlgorithmWithNull(request.digestOid);
  if (digestAlgorithm.size() <= kNull.size() + 2) return kCryptEUnknownAlgo;

  Bytes contentDigest;
  if (!common::ComputeDigest(hashAlg, request.content, &contentDigest)) return kCryptEUnknownAlgo;

  // Authenticated attributes: contentType, the caller's signingTime, messageDigest.
  Bytes authAttrs;  // the SET OF, tag 0x31, as signed
  if (request.signingTime || request.authenticatedAttributes) {
    std::vector<Bytes> attrs;
    attrs.push_back(Attribute(kOidContentType, der::OidElement(kOidData)));
    if (request.signingTime) {
      Bytes time;
      if (SysError err = EncodeSigningTime(*request.signingTime, &time)) return err;
      attrs.push_back(Attribute(kOidSigningTime, time));
    }
    attrs.push_back(Attribute(kOidMessageDigest, der::Tlv(der::kOctetString, contentDigest)));
    authAttrs = der::SetOf(std::move(attrs));
  }

  Bytes signedDigest = contentDigest;
  if (!authAttrs.empty() && !common::ComputeDigest(hashAlg, authAttrs, &signedDigest)) {
    return kCryptEUnknownAlgo;
  }
  Bytes signatureLe;
  if (SysError err = sign(hashAlg, signedDigest, &signatureLe)) return err;
  if (signatureLe.empty()) return kNteFail;
  const Bytes signature = common::ReverseBytes(signatureLe);

  Bytes keyAlgorithm;
  if (SysError err = KeyAlgorithm(signer, &keyAlgorithm)) return err;
  const Bytes issuerAndSerial = der::Constructed(
      der::kSequence, {signer.issuer, der::Tlv(der::kInteger, signer.SerialBigEndian())});
  Bytes signerInfoContent;
  for (const Bytes& part : {der::SmallIntegerElement(1), issuerAndSerial, digestAlgorithm}) {
    signerInfoContent.insert(signerInfoContent.end(), part.begin(), part.end());
  }
  if (!authAttrs.empty()) {
    // The same SET with the implicit [0] tag.
    Bytes implicit = authAttrs;
    implicit[0] = der::ContextConstructed(0);
    signerInfoContent.insert(signerInfoContent.end(), implicit.begin(), implicit.end());
  }
  for (const Bytes& part : {keyAlgorithm, der::Tlv(der::kOctetString, signature)}) {
    signerInfoContent.insert(signerInfoContent.end(), part.begin(), part.end());
  }
  const Bytes signerInfo = der::Tlv(der::kSequence, signerInfoContent);

  Bytes contentInfo;
  if (!request.detached && !request.content.empty()) {
    contentInfo = der::Constructed(
        der::kSequence,
        {der::OidElement(kOidData),
         der::Tlv(der::ContextConstructed(0), der::Tlv(der::kOctetString, request.content))});
  } else {
    contentInfo = der::Tlv(der::kSequence, der::OidElement(kOidData));
  }

  Bytes signedData;
  for (const Bytes& part :
       {der::SmallIntegerElement(1), der::SetOf({digestAlgorithm}), contentInfo}) {
    signedData.insert(signedData.end(), part.begin(), part.end());
  }
  if (!request.certificates.empty()) {
    // The certificates in the caller's order (signer first, then its chain).
    Bytes certs;
    for (const Bytes& c : request.certificates) certs.insert(certs.end(), c.begin(), c.end());
    der::AppendTlv(signedData, der::ContextConstructed(0), certs);
  }
  const Bytes signerInfos = der::SetOf({signerInfo});
  signedData.insert(signedData.end(), signerInfos.begin(), signerInfos.end());

  *out = der::Constructed(
      der::kSequence, {der::OidElement(kOidSignedData),
                       der::Tlv(der::ContextConstructed(0), der::Tlv(der::kSequence, signedData))});
  return kErrorSuccess;
}

}  // namespace zyq::platform
