#include "platform/common/certs/Pkcs12Encoding.h"

#include "platform/CryptoKeys.h"
#include "platform/Secret.h"
#include "platform/common/certs/Der.h"
#include "platform/common/certs/Digest.h"
#include "platform/common/certs/Pkcs12Primitives.h"

namespace zyq::platform::common {
namespace {

constexpr const char* kOidData = "1.2.840.113549.1.7.1";
constexpr const char* kOidEncryptedData = "1.2.840.113549.1.7.6";
constexpr const char* kOidPbe3Des = "1.2.840.113549.1.12.1.3";
constexpr const char* kOidShroudedKeyBag = "1.2.840.113549.1.12.10.1.2";
constexpr const char* kOidCertBag = "1.2.840.113549.1.12.10.1.3";
constexpr const char* kOidX509Certificate = "1.2.840.113549.1.9.22.1";
constexpr const char* kOidFriendlyName = "1.2.840.113549.1.9.20";
constexpr const char* kOidLocalKeyId = "1.2.840.113549.1.9.21";
constexpr const char* kOidCspName = "1.3.6.1.4.1.311.17.1";
constexpr const char* kOidSha1 = "1.3.14.3.2.26";
constexpr int kIterations = 2000;
constexpr size_t kSaltSize = 8;

// The diversifiers of RFC 7292 appendix B.3.
constexpr uint8_t kKeyMaterial = 1;
constexpr uint8_t kIvMaterial = 2;
constexpr uint8_t kMacMaterial = 3;

bool Sha1(ByteView data, Bytes* digest) {
  return ComputeDigest(kCalgSha1, data, digest);
}

// The password as PKCS#12 hashes it: BMPString big-endian with a two-byte terminator; the
// absent password is no bytes at all.
SecretBytes PasswordBytes(PfxPassword password) {
  Bytes out;
  if (password) {
    for (char16_t c : *password) {
      out.push_back(static_cast<uint8_t>(c >> 8));
      out.push_back(static_cast<uint8_t>(c & 0xff));
    }
    out.push_back(0);
    out.push_back(0);
  }
  return SecretBytes(std::move(out));
}

// RFC 7292 appendix B.2 with SHA-1 (u = 20, v = 64).
bool DeriveKey(uint8_t id, ByteView password, ByteView salt, size_t n, SecretBytes* out) {
  constexpr size_t v = 64;
  auto stretch = [](ByteView in, Bytes* to) {
    if (in.empty()) return;
    const size_t len = v * ((in.size() + v - 1) / v);
    for (size_t i = 0; i < len; ++i) to->push_back(in[i % in.size()]);
  };
  Bytes input(v, id);  // D || I, where I = S || P, each stretched to a multiple of v
  stretch(salt, &input);
  stretch(password, &input);
  SecretBytes guard(std::move(input));
  Bytes& buffer = guard.bytes();
  Bytes result;
  bool ok = true;
  while (ok && result.size() < n) {
    Bytes a, next;
    ok = Sha1(buffer, &a);
    for (int r = 1; ok && r < kIterations; ++r) {
      ok = Sha1(a, &next);
      a.swap(next);
    }
    if (!ok) break;
    result.insert(result.end(), a.begin(), a.end());
    if (result.size() >= n) break;
    // I_j = (I_j + B + 1) mod 2^v for each v-byte block of I.
    Bytes b(v);
    for (size_t k = 0; k < v; ++k) b[k] = a[k % a.size()];
    for (size_t block = v; block < buffer.size(); block += v) {
      unsigned carry = 1;
      for (size_t k = v; k-- > 0;) {
        const unsigned sum = unsigned{buffer[block + k]} + b[k] + carry;
        buffer[block + k] = static_cast<uint8_t>(sum);
        carry = sum >> 8;
      }
    }
    SecureWipe(a.data(), a.size());
  }
  result.resize(n);
  *out = SecretBytes(std::move(result));
  return ok;
}

bool HmacSha1(ByteView key, ByteView message, Bytes* mac) {
  Bytes inner(64, 0x36), outer(64, 0x5c);
  for (size_t k = 0; k < key.size(); ++k) {
    inner[k] ^= key[k];
    outer[k] ^= key[k];
  }
  inner.insert(inner.end(), message.begin(), message.end());
  Bytes innerDigest;
  const bool ok = Sha1(inner, &innerDigest) &&
                  (outer.insert(outer.end(), innerDigest.begin(), innerDigest.end()), true) &&
                  Sha1(outer, mac);
  SecureWipe(inner.data(), inner.size());
  SecureWipe(outer.data(), outer.size());
  return ok;
}

// Encrypts with pbeWithSHAAnd3-KeyTripleDES-CBC under the next salt; *algorithm receives the
// AlgorithmIdentifier.
bool PbeEncrypt(ByteView password, const SaltSource& salts, ByteView plain, Bytes* algorithm,
                Bytes* cipher) {
  Bytes salt;
  SecretBytes key, iv;
  if (!salts(kSaltSize, &salt) || salt.size() != kSaltSize ||
      !DeriveKey(kKeyMaterial, password, salt, 24, &key) ||
      !DeriveKey(kIvMaterial, password, salt, 8, &iv) ||
      !EncryptTripleDesCbc(key.bytes(), iv.bytes(), plain, cipher)) {
    return false;
  }
  *algorithm = der::Constructed(
      der::kSequence, {der::OidElement(kOidPbe3Des),
                       der::Constructed(der::kSequence, {der::Tlv(der::kOctetString, salt),
                                                         der::SmallIntegerElement(kIterations)})});
  return true;
}

Bytes BmpString(std::u16string_view text) {
  Bytes out;
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c >> 8));
    out.push_back(static_cast<uint8_t>(c & 0xff));
  }
  return der::Tlv(der::kBmpString, out);
}

Bytes Attribute(const char* oid, const Bytes& value) {
  return der::Constructed(der::kSequence, {der::OidElement(oid), der::SetOf({value})});
}

Bytes ContentInfoData(ByteView content) {
  return der::Constructed(
      der::kSequence, {der::OidElement(kOidData),
                       der::Tlv(der::ContextConstructed(0), der::Tlv(der::kOctetString, content))});
}

Bytes SequenceOf(const std::vector<Bytes>& items) {
  Bytes content;
  for (const Bytes& i : items) content.insert(content.end(), i.begin(), i.end());
  return der::Tlv(der::kSequence, content);
}

}  // namespace

SysError EncodePkcs12(const std::vector<Pkcs12Item>& items, PfxPassword password,
                      const SaltSource& salts, Bytes* out) {
  const SecretBytes pw = PasswordBytes(password);
  std::vector<Bytes> keyBags, certBags;
  for (const Pkcs12Item& item : items) {
    Bytes attributes;
    if (!item.privateKey.empty()) {
      Bytes keyId;
      if (!Sha1(item.certificate, &keyId)) return kNteFail;
      const Bytes localKeyId = Attribute(kOidLocalKeyId, der::Tlv(der::kOctetString, keyId));
      Bytes algorithm, encrypted;
      if (!PbeEncrypt(pw.bytes(), salts, item.privateKey, &algorithm, &encrypted)) {
        return kNteFail;
      }
      const Bytes shrouded =
          der::Constructed(der::kSequence, {algorithm, der::Tlv(der::kOctetString, encrypted)});
      const Bytes keyAttributes =
          der::SetOf({localKeyId, Attribute(kOidFriendlyName, BmpString(item.containerName)),
                      Attribute(kOidCspName, BmpString(item.providerName))});
      keyBags.push_back(der::Constructed(
          der::kSequence, {der::OidElement(kOidShroudedKeyBag),
                           der::Tlv(der::ContextConstructed(0), shrouded), keyAttributes}));
      attributes = der::SetOf({localKeyId});
    }
    const Bytes certBag = der::Constructed(
        der::kSequence,
        {der::OidElement(kOidX509Certificate),
         der::Tlv(der::ContextConstructed(0), der::Tlv(der::kOctetString, item.certificate))});
    certBags.push_back(der::Constructed(
        der::kSequence,
        {der::OidElement(kOidCertBag), der::Tlv(der::ContextConstructed(0), certBag), attributes}));
  }

  std::vector<Bytes> safes;
  if (!keyBags.empty()) safes.push_back(ContentInfoData(SequenceOf(keyBags)));
  if (!certBags.empty()) {
    Bytes algorithm, encrypted;
    if (!PbeEncrypt(pw.bytes(), salts, SequenceOf(certBags), &algorithm, &encrypted)) {
      return kNteFail;
    }
    const Bytes encryptedContentInfo = der::Constructed(
        der::kSequence,
        {der::OidElement(kOidData), algorithm, der::Tlv(der::ContextPrimitive(0), encrypted)});
    const Bytes encryptedData =
        der::Constructed(der::kSequence, {der::SmallIntegerElement(0), encryptedContentInfo});
    safes.push_back(der::Constructed(
        der::kSequence,
        {der::OidElement(kOidEncryptedData), der::Tlv(der::ContextConstructed(0), encryptedData)}));
  }
  const Bytes authSafe = SequenceOf(safes);

  Bytes macSalt, mac;
  SecretBytes macKey;
  if (!salts(kSaltSize, &macSalt) || macSalt.size() != kSaltSize ||
      !DeriveKey(kMacMaterial, pw.bytes(), macSalt, 20, &macKey) ||
      !HmacSha1(macKey.bytes(), authSafe, &mac)) {
    return kNteFail;
  }
  const Bytes digestInfo = der::Constructed(
      der::kSequence,
      {der::Constructed(der::kSequence, {der::OidElement(kOidSha1), der::Tlv(der::kNull, Bytes{})}),
       der::Tlv(der::kOctetString, mac)});
  const Bytes macData = der::Constructed(
      der::kSequence,
      {digestInfo, der::Tlv(der::kOctetString, macSalt), der::SmallIntegerElement(kIterations)});
  *out = der::Constructed(der::kSequence,
                          {der::SmallIntegerElement(3), ContentInfoData(authSafe), macData});
  return kErrorSuccess;
}

}  // namespace zyq::platform::common
