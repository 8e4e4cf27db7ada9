// PKCS#10 requests and the common-name Name inside them.
#include "platform/CertRequests.h"
#include "platform/CryptoKeys.h"
#include "platform/common/certs/Der.h"
#include "platform/common/certs/Digest.h"

namespace zyq::platform {

namespace der = common::der;

SysError EncodeCommonNameBmp(std::u16string_view commonName, Bytes* name) {
  Bytes value;
  value.reserve(commonName.size() * 2);
  for (char16_t c : commonName) {
    value.push_back(static_cast<uint8_t>(c >> 8));
    value.push_back(static_cast<uint8_t>(c & 0xff));
  }
  if (value.size() > kMaxEncodedSize) return kCryptEAsn1Large;
  const Bytes atv = der::Constructed(
      der::kSequence, {der::OidElement(kOidCommonName), der::Tlv(der::kBmpString, value)});
  *name = der::Tlv(der::kSequence, der::Tlv(der::kSet, atv));
  return kErrorSuccess;
}

SysError EncodeCertificateRequest(ByteView subjectName, ByteView subjectPublicKeyInfo,
                                  const DigestSigner& sign, Bytes* request) {
  if (!sign) return kEInvalidArg;
  der::Element e;
  if (SysError err = der::ParseSingle(subjectName, der::kSequence, &e)) return err;
  if (SysError err = der::ParseSingle(subjectPublicKeyInfo, der::kSequence, &e)) return err;
  const Bytes info = der::Constructed(
      der::kSequence, {der::SmallIntegerElement(0), subjectName, subjectPublicKeyInfo,
                       der::Tlv(der::ContextConstructed(0), Bytes{})});
  Bytes digest;
  if (!common::ComputeDigest(kCalgSha1, info, &digest)) return kNteFail;
  Bytes signatureLe;
  if (SysError err = sign(kCalgSha1, digest, &signatureLe)) return err;
  if (signatureLe.empty()) return kNteFail;
  Bytes bits{0x00};  // no unused bits
  bits.insert(bits.end(), signatureLe.rbegin(), signatureLe.rend());
  const Bytes algorithm = der::Constructed(
      der::kSequence, {der::OidElement("1.2.840.113549.1.1.5"), Bytes{der::kNull, 0x00}});
  *request = der::Constructed(der::kSequence, {info, algorithm, der::Tlv(der::kBitString, bits)});
  return kErrorSuccess;
}

}  // namespace zyq::platform
