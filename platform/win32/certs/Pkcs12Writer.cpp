#include "platform/win32/certs/Pkcs12Writer.h"

#include <windows.h>
// (the headers below need windows.h first)
#include <wincrypt.h>

#include <cstring>

#include "platform/CryptoKeys.h"
#include "platform/posix/certs/Der.h"
#include "platform/win32/WinHandles.h"

namespace zyq::platform::win32 {
namespace {

namespace der = posix::der;

constexpr const char* kOidData = "1.2.840.113549.1.7.1";
constexpr const char* kOidEncryptedData = "1.2.840.113549.1.7.6";
constexpr const char* kOidPbe3Des = "1.2.840.113549.1.12.1.3";
constexpr const char* kOidShroudedKeyBag = "1.2.840.113549.1.12.10.1.2";
constexpr const char* kOidCertBag = "1.2.840.113549.1.12.10.1.3";
constexpr const char* kOidX509Certificate = "1.2.840.113549.1.9.22.1";
constexpr const char* kOidLocalKeyId = "1.2.840.113549.1.9.21";
constexpr const char* kOidSha1 = "1.3.14.3.2.26";
constexpr int kIterations = 2000;
constexpr size_t kSaltSize = 8;

// SHA-1, 3DES and randomness from one provider context.
class Primitives {
 public:
  SysError Open() {
    if (!CryptAcquireContextA(prov_.out(), nullptr, MS_ENHANCED_PROV_A, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
      return LastError();
    }
    return kErrorSuccess;
  }

  bool Sha1(std::initializer_list<ByteView> parts, Bytes* digest) {
    HashOwner h;
    if (!CryptCreateHash(prov_.get(), CALG_SHA1, 0, 0, h.out())) return false;
    for (ByteView p : parts) {
      if (!p.empty() && !CryptHashData(h.get(), p.data(), static_cast<DWORD>(p.size()), 0)) {
        return false;
      }
    }
    DWORD size = 20;
    digest->assign(20, 0);
    return CryptGetHashParam(h.get(), HP_HASHVAL, digest->data(), &size, 0) && size == 20;
  }

  bool Random(size_t n, Bytes* out) {
    out->assign(n, 0);
    return CryptGenRandom(prov_.get(), static_cast<DWORD>(n), out->data()) != FALSE;
  }

  // 3DES-CBC with PKCS#5 padding.
  bool Encrypt3Des(const Bytes& key, const Bytes& iv, ByteView plain, Bytes* cipher) {
    struct {
      BLOBHEADER header;
      DWORD size;
      BYTE key[24];
    } blob{{PLAINTEXTKEYBLOB, CUR_BLOB_VERSION, 0, CALG_3DES}, 24, {}};
    std::memcpy(blob.key, key.data(), 24);
    KeyOwner k;
    const bool imported = CryptImportKey(prov_.get(), reinterpret_cast<const BYTE*>(&blob),
                                         sizeof(blob), 0, 0, k.out()) != FALSE;
    SecureWipe(&blob, sizeof(blob));
    if (!imported || !CryptSetKeyParam(k.get(), KP_IV, iv.data(), 0)) return false;
    Bytes buffer(plain.begin(), plain.end());
    buffer.resize(plain.size() + 8);
    DWORD length = static_cast<DWORD>(plain.size());
    if (!CryptEncrypt(k.get(), 0, TRUE, 0, buffer.data(), &length,
                      static_cast<DWORD>(buffer.size()))) {
      SecureWipe(buffer.data(), buffer.size());
      return false;
    }
    buffer.resize(length);
    *cipher = std::move(buffer);
    return true;
  }

 private:
  ProvOwner prov_;
};

// The password as PKCS#12 hashes it: BMPString big-endian with a two-byte terminator; the absent
// password is no bytes at all.
Bytes PasswordBytes(PfxPassword password) {
  Bytes out;
  if (!password) return out;
  for (char16_t c : *password) {
    out.push_back(static_cast<uint8_t>(c >> 8));
    out.push_back(static_cast<uint8_t>(c & 0xff));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

// RFC 7292 appendix B.2 with SHA-1 (u = 20, v = 64).
bool DeriveKey(Primitives& p, uint8_t id, const Bytes& password, const Bytes& salt, size_t n,
               Bytes* out) {
  constexpr size_t v = 64;
  auto stretch = [](const Bytes& in) {
    Bytes r;
    if (in.empty()) return r;
    const size_t len = v * ((in.size() + v - 1) / v);
    for (size_t i = 0; i < len; ++i) r.push_back(in[i % in.size()]);
    return r;
  };
  const Bytes d(v, id);
  Bytes i = stretch(salt);
  const Bytes pw = stretch(password);
  i.insert(i.end(), pw.begin(), pw.end());
  Bytes result;
  while (result.size() < n) {
    Bytes a;
    if (!p.Sha1({d, i}, &a)) return false;
    for (int r = 1; r < kIterations; ++r) {
      if (!p.Sha1({a}, &a)) return false;
    }
    result.insert(result.end(), a.begin(), a.end());
    if (result.size() >= n) break;
    Bytes b(v);
    for (size_t k = 0; k < v; ++k) b[k] = a[k % a.size()];
    for (size_t block = 0; block < i.size(); block += v) {
      unsigned carry = 1;
      for (size_t k = v; k-- > 0;) {
        const unsigned sum = unsigned{i[block + k]} + b[k] + carry;
        i[block + k] = static_cast<uint8_t>(sum);
        carry = sum >> 8;
      }
    }
  }
  result.resize(n);
  *out = std::move(result);
  SecureWipe(i.data(), i.size());
  return true;
}

bool HmacSha1(Primitives& p, const Bytes& key, ByteView message, Bytes* mac) {
  Bytes ipad(64, 0x36), opad(64, 0x5c);
  for (size_t k = 0; k < key.size(); ++k) {
    ipad[k] ^= key[k];
    opad[k] ^= key[k];
  }
  Bytes inner;
  return p.Sha1({ipad, message}, &inner) && p.Sha1({opad, inner}, mac);
}

Bytes PbeAlgorithm(const Bytes& salt) {
  return der::Constructed(
      der::kSequence, {der::OidElement(kOidPbe3Des),
                       der::Constructed(der::kSequence, {der::Tlv(der::kOctetString, salt),
                                                         der::SmallIntegerElement(kIterations)})});
}

// Encrypts with pbeWithSHAAnd3-KeyTripleDES-CBC under a fresh salt.
bool PbeEncrypt(Primitives& p, const Bytes& password, ByteView plain, Bytes* algorithm,
                Bytes* cipher) {
  Bytes salt, key, iv;
  if (!p.Random(kSaltSize, &salt) || !DeriveKey(p, 1, password, salt, 24, &key) ||
      !DeriveKey(p, 2, password, salt, 8, &iv)) {
    return false;
  }
  const bool ok = p.Encrypt3Des(key, iv, plain, cipher);
  SecureWipe(key.data(), key.size());
  *algorithm = PbeAlgorithm(salt);
  return ok;
}

Bytes Attributes(const Bytes& keyId) {
  return der::SetOf(
      {der::Constructed(der::kSequence, {der::OidElement(kOidLocalKeyId),
                                         der::SetOf({der::Tlv(der::kOctetString, keyId)})})});
}

Bytes ContentInfoData(const Bytes& content) {
  return der::Constructed(
      der::kSequence, {der::OidElement(kOidData),
                       der::Tlv(der::ContextConstructed(0), der::Tlv(der::kOctetString, content))});
}

// The private key of a certificate, by the key rules of ExportPfx; *skip when it goes alone.
SysError KeyOf(const CertContext& cert, uint32_t flags, SecretBytes* pkcs8, bool* skip) {
  *skip = true;
  if ((flags & kExportPrivateKeys) == 0) return kErrorSuccess;
  if (!cert.keyLink()) return (flags & kReportNoPrivateKey) != 0 ? kCryptENotFound : 0;
  const SysError err = ExportPrivateKey(*cert.keyLink(), pkcs8);
  if (err == kErrorSuccess) {
    *skip = false;
    return kErrorSuccess;
  }
  if (err == kErrorCancelled) return err;
  if (err == kNteBadKeyState) {
    return (flags & kReportNotAbleToExportPrivateKey) != 0 ? err : kErrorSuccess;
  }
  return (flags & kReportNoPrivateKey) != 0 ? err : kErrorSuccess;
}

}  // namespace

SysError WritePkcs12(const std::vector<CertContext>& certs, PfxPassword password, uint32_t flags,
                     Bytes* out) {
  Primitives p;
  if (SysError err = p.Open()) return err;
  const Bytes pw = PasswordBytes(password);
  std::vector<Bytes> certBags, keyBags;
  for (const CertContext& cert : certs) {
    const Bytes keyId(cert.sha1Thumbprint().begin(), cert.sha1Thumbprint().end());
    SecretBytes pkcs8;
    bool skip = true;
    if (SysError err = KeyOf(cert, flags, &pkcs8, &skip)) return err;
    const Bytes attributes = skip ? Bytes{} : Attributes(keyId);
    const Bytes certBag = der::Constructed(
        der::kSequence,
        {der::OidElement(kOidX509Certificate),
         der::Tlv(der::ContextConstructed(0), der::Tlv(der::kOctetString, cert.encoded()))});
    certBags.push_back(der::Constructed(
        der::kSequence,
        {der::OidElement(kOidCertBag), der::Tlv(der::ContextConstructed(0), certBag), attributes}));
    if (skip) continue;
    Bytes algorithm, encrypted;
    if (!PbeEncrypt(p, pw, pkcs8.bytes(), &algorithm, &encrypted)) return kNteFail;
    const Bytes shrouded =
        der::Constructed(der::kSequence, {algorithm, der::Tlv(der::kOctetString, encrypted)});
    keyBags.push_back(der::Constructed(
        der::kSequence, {der::OidElement(kOidShroudedKeyBag),
                         der::Tlv(der::ContextConstructed(0), shrouded), attributes}));
  }
  auto sequenceOf = [](const std::vector<Bytes>& items) {
    Bytes content;
    for (const Bytes& i : items) content.insert(content.end(), i.begin(), i.end());
    return der::Tlv(der::kSequence, content);
  };

  std::vector<Bytes> safes;
  if (!certBags.empty()) {
    Bytes algorithm, encrypted;
    if (!PbeEncrypt(p, pw, sequenceOf(certBags), &algorithm, &encrypted)) return kNteFail;
    const Bytes encryptedContentInfo = der::Constructed(
        der::kSequence,
        {der::OidElement(kOidData), algorithm, der::Tlv(der::ContextPrimitive(0), encrypted)});
    const Bytes encryptedData =
        der::Constructed(der::kSequence, {der::SmallIntegerElement(0), encryptedContentInfo});
    safes.push_back(der::Constructed(
        der::kSequence,
        {der::OidElement(kOidEncryptedData), der::Tlv(der::ContextConstructed(0), encryptedData)}));
  }
  if (!keyBags.empty()) safes.push_back(ContentInfoData(sequenceOf(keyBags)));
  const Bytes authSafe = sequenceOf(safes);

  Bytes macSalt, macKey, mac;
  if (!p.Random(kSaltSize, &macSalt) || !DeriveKey(p, 3, pw, macSalt, 20, &macKey) ||
      !HmacSha1(p, macKey, authSafe, &mac)) {
    return kNteFail;
  }
  SecureWipe(macKey.data(), macKey.size());
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

}  // namespace zyq::platform::win32
