// Reading PKCS#12 files: the blob test, the password test and the import into a memory store
// with the keys placed in key containers.
#include <openssl/err.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include "platform/CryptoKeys.h"
#include "platform/Pkcs12.h"
#include "platform/Providers.h"
#include "platform/Secret.h"
#include "platform/Text.h"
#include "platform/common/certs/Der.h"
#include "platform/posix/OpenSslPtr.h"
#include "platform/posix/certs/OpenSslContext.h"
#include "platform/posix/certs/Pkcs12Support.h"

namespace zyq::platform {
namespace {

using posix::OpenSslPtr;
namespace der = common::der;
namespace p12 = posix::pkcs12;

using BagStack = STACK_OF(PKCS12_SAFEBAG);

struct KeyItem {
  SecretBytes pkcs8;
  Bytes publicKeyBits;  // the subjectPublicKey BIT STRING bytes
  std::string provider;
  uint32_t keySpec = kAtKeyExchange;
};

struct Contents {
  std::vector<Bytes> certificates;
  std::vector<KeyItem> keys;
};

// The ASN.1 string value of a bag attribute, or null.
const ASN1_STRING* AttributeString(const PKCS12_SAFEBAG* bag, int nid, int type) {
  const ASN1_TYPE* value = PKCS12_SAFEBAG_get0_attr(bag, nid);
  if (value == nullptr || value->type != type) return nullptr;
  return value->value.asn1_string;
}

std::string CspName(const PKCS12_SAFEBAG* bag) {
  const ASN1_STRING* s = AttributeString(bag, NID_ms_csp_name, V_ASN1_BMPSTRING);
  if (s == nullptr) return {};
  std::u16string wide;
  const unsigned char* d = ASN1_STRING_get0_data(s);
  for (int i = 0; i + 1 < ASN1_STRING_length(s); i += 2) {
    wide.push_back(static_cast<char16_t>((d[i] << 8) | d[i + 1]));
  }
  return WideToAnsi(wide);
}

// The key-usage attribute (2.5.29.15, a BIT STRING) that marks a key for exchange or for
// signing only; writers put it on the key bag or into the PrivateKeyInfo's attributes
// (`openssl pkcs12 -keyex / -keysig`).
const ASN1_STRING* KeyUsageAttribute(const PKCS8_PRIV_KEY_INFO* p8, const PKCS12_SAFEBAG* bag) {
  if (const ASN1_STRING* s = AttributeString(bag, NID_key_usage, V_ASN1_BIT_STRING)) return s;
  const STACK_OF(X509_ATTRIBUTE)* attrs = PKCS8_pkey_get0_attrs(p8);
  const int index = X509at_get_attr_by_NID(attrs, NID_key_usage, -1);
  if (index < 0) return nullptr;
  X509_ATTRIBUTE* attr = X509at_get_attr(attrs, index);
  const ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(attr, 0);
  return value != nullptr && value->type == V_ASN1_BIT_STRING ? value->value.asn1_string : nullptr;
}

// Key spec from the key-usage attribute: encipherment -> exchange key, signing only ->
// signature key; no attribute -> exchange key.
uint32_t KeySpecOf(const PKCS8_PRIV_KEY_INFO* p8, const PKCS12_SAFEBAG* bag) {
  const ASN1_STRING* bits = KeyUsageAttribute(p8, bag);
  if (bits == nullptr || ASN1_STRING_length(bits) < 1) return kAtKeyExchange;
  const uint8_t usage = ASN1_STRING_get0_data(bits)[0];
  if (usage & (kKeyUsageKeyEncipherment | kKeyUsageDataEncipherment)) return kAtKeyExchange;
  if (usage & (kKeyUsageDigitalSignature | kKeyUsageKeyCertSign | kKeyUsageCrlSign)) {
    return kAtSignature;
  }
  return kAtKeyExchange;
}

SysError AddKey(const PKCS8_PRIV_KEY_INFO* p8, const PKCS12_SAFEBAG* bag, Contents* out) {
  KeyItem item;
  const int len = i2d_PKCS8_PRIV_KEY_INFO(p8, nullptr);
  if (len <= 0) return kNteBadData;
  item.pkcs8.bytes().resize(static_cast<size_t>(len));
  unsigned char* p = item.pkcs8.bytes().data();
  i2d_PKCS8_PRIV_KEY_INFO(p8, &p);
  const OpenSslPtr<EVP_PKEY> key(EVP_PKCS82PKEY_ex(p8, posix::CertLibraryContext(), nullptr));
  if (key) {
    unsigned char* encoded = nullptr;
    const int n = i2d_PUBKEY(key.get(), &encoded);
    const OpenSslPtr<unsigned char> spki(encoded);
    if (n > 0) {
      der::Element seq, alg, bits;
      const ByteView view(spki.get(), static_cast<size_t>(n));
      if (der::ParseSingle(view, der::kSequence, &seq) == kErrorSuccess) {
        der::Reader r(seq.content);
        if (r.Expect(der::kSequence, &alg) == kErrorSuccess &&
            r.Expect(der::kBitString, &bits) == kErrorSuccess && !bits.content.empty()) {
          item.publicKeyBits.assign(bits.content.begin() + 1, bits.content.end());
        }
      }
    }
  }
  item.provider = CspName(bag);
  item.keySpec = KeySpecOf(p8, bag);
  out->keys.push_back(std::move(item));
  return kErrorSuccess;
}

// The certificate bytes of an X.509 certificate bag, exactly as the file holds them:
// SafeBag { certBag, [0] { CertBag { x509Certificate, [0] { OCTET STRING } } }, attributes }.
SysError CertBagValue(const PKCS12_SAFEBAG* bag, Bytes* out) {
  unsigned char* encoded = nullptr;
  const int n = i2d_PKCS12_SAFEBAG(bag, &encoded);
  const OpenSslPtr<unsigned char> owner(encoded);
  if (n <= 0) return kCryptEAsn1Corrupt;
  const Bytes whole(encoded, encoded + n);
  der::Element safeBag, id, wrapped, certBag, certId, value, octets;
  if (SysError err = der::ParseSingle(whole, der::kSequence, &safeBag)) return err;
  der::Reader r(safeBag.content);
  if (SysError err = r.Expect(der::kOid, &id)) return err;
  if (SysError err = r.Expect(der::ContextConstructed(0), &wrapped)) return err;
  if (SysError err = der::ParseSingle(wrapped.content, der::kSequence, &certBag)) return err;
  der::Reader c(certBag.content);
  if (SysError err = c.Expect(der::kOid, &certId)) return err;
  if (SysError err = c.Expect(der::ContextConstructed(0), &value)) return err;
  if (SysError err = der::ParseSingle(value.content, der::kOctetString, &octets)) return err;
  out->assign(octets.content.begin(), octets.content.end());
  return kErrorSuccess;
}

SysError ReadBags(const BagStack* bags, const char* pass, int passlen, int depth, Contents* out) {
  if (depth > 4) return kCryptEAsn1Large;
  for (int i = 0; i < sk_PKCS12_SAFEBAG_num(bags); ++i) {
    const PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags, i);
    switch (PKCS12_SAFEBAG_get_nid(bag)) {
      case NID_keyBag: {
        const PKCS8_PRIV_KEY_INFO* p8 = PKCS12_SAFEBAG_get0_p8inf(bag);
        if (p8 == nullptr) return kCryptEAsn1Corrupt;
        if (SysError err = AddKey(p8, bag, out)) return err;
        break;
      }
      case NID_pkcs8ShroudedKeyBag: {
        OpenSslPtr<PKCS8_PRIV_KEY_INFO> p8(
            PKCS12_decrypt_skey_ex(bag, pass, passlen, posix::CertLibraryContext(), nullptr));
        if (!p8) return kErrorInvalidPassword;
        if (SysError err = AddKey(p8.get(), bag, out)) return err;
        break;
      }
      case NID_certBag: {
        if (PKCS12_SAFEBAG_get_bag_nid(bag) != NID_x509Certificate) break;
        Bytes der;
        if (SysError err = CertBagValue(bag, &der)) return err;
        out->certificates.push_back(std::move(der));
        break;
      }
      case NID_safeContentsBag:
        if (SysError err =
                ReadBags(PKCS12_SAFEBAG_get0_safes(bag), pass, passlen, depth + 1, out)) {
          return err;
        }
        break;
      default:
        break;  // CRL and secret bags are not used
    }
  }
  return kErrorSuccess;
}

// Decrypts and reads every safe with this password.
SysError ReadContents(PKCS12* file, const char* pass, int passlen, Contents* out) {
  OpenSslPtr<STACK_OF(PKCS7)> safes(PKCS12_unpack_authsafes(file));
  if (!safes) return kCryptEAsn1Corrupt;
  for (int i = 0; i < sk_PKCS7_num(safes.get()); ++i) {
    PKCS7* safe = sk_PKCS7_value(safes.get(), i);
    OpenSslPtr<BagStack> bags;
    switch (OBJ_obj2nid(safe->type)) {
      case NID_pkcs7_data:
        bags.reset(PKCS12_unpack_p7data(safe));
        if (!bags) return kCryptEAsn1Corrupt;
        break;
      case NID_pkcs7_encrypted: {
        if (safe->d.encrypted == nullptr || safe->d.encrypted->enc_data == nullptr ||
            safe->d.encrypted->enc_data->enc_data == nullptr) {
          return kCryptEAsn1Corrupt;
        }
        const PKCS7_ENC_CONTENT* enc = safe->d.encrypted->enc_data;
        bags.reset(static_cast<BagStack*>(PKCS12_item_decrypt_d2i_ex(
            enc->algorithm, ASN1_ITEM_rptr(PKCS12_SAFEBAGS), pass, passlen, enc->enc_data, 1,
            posix::CertLibraryContext(), nullptr)));
        if (!bags) return kErrorInvalidPassword;
        break;
      }
      default:
        continue;  // enveloped safes (public-key privacy mode) cannot be opened here
    }
    if (SysError err = ReadBags(bags.get(), pass, passlen, 0, out)) return err;
  }
  return kErrorSuccess;
}

// Whether the password opens the file: its MAC when it has one, else its encrypted parts.
SysError CheckPassword(PKCS12* file, const posix::pkcs12::Password& pw) {
  if (PKCS12_mac_present(file)) {
    return PKCS12_verify_mac(file, pw.data(), pw.length()) == 1 ? kErrorSuccess
                                                                : kErrorInvalidPassword;
  }
  Contents ignored;
  return ReadContents(file, pw.data(), pw.length(), &ignored);
}

}  // namespace

bool IsPfxBlob(ByteView blob) {
  OpenSslPtr<PKCS12> file;
  return p12::Parse(blob, &file) == kErrorSuccess;
}

bool VerifyPfxPassword(ByteView blob, PfxPassword password, SysError* error) {
  OpenSslPtr<PKCS12> file;
  SysError err = p12::Parse(blob, &file);
  if (!err) err = CheckPassword(file.get(), p12::Password(password));
  ERR_clear_error();
  if (error) *error = err;
  return err == kErrorSuccess;
}

SysError ImportPfx(ByteView blob, PfxPassword password, uint32_t flags, CertStore* out,
                   std::vector<KeyProvInfo>* created) {
  out->Close();
  if (created != nullptr) created->clear();
  constexpr uint32_t kKnown = kPfxExportable | kPfxUserProtected | kPfxMachineKeyset |
                              kPfxUserKeyset | kPfxAllowOverwriteKey;
  if (flags & ~kKnown) return kNteBadFlags;
  OpenSslPtr<PKCS12> file;
  if (SysError err = p12::Parse(blob, &file)) return err;
  const p12::Password pw(password);
  SysError err = CheckPassword(file.get(), pw);
  Contents contents;
  if (!err) err = ReadContents(file.get(), pw.data(), pw.length(), &contents);
  if (err == kErrorInvalidPassword && PKCS12_mac_present(file.get()) &&
      CheckPassword(file.get(), pw) == kErrorSuccess && (!password || password->empty())) {
    // The MAC took this empty password; some writers encrypt with the other empty form
    // (NULL for "", or "" for NULL).
    const p12::Password other(password ? PfxPassword() : PfxPassword(u""));
    contents = Contents{};
    err = ReadContents(file.get(), other.data(), other.length(), &contents);
  }
  ERR_clear_error();
  if (err) return err;

  // Decode every certificate first, so that a bad file places no key.
  std::vector<CertContext> certs;
  for (const Bytes& der : contents.certificates) {
    CertContext ctx;
    if (SysError e = CertContext::FromEncoded(der, &ctx)) return e;
    certs.push_back(std::move(ctx));
  }
  const uint32_t keyFlags = flags & (kPfxExportable | kPfxUserProtected);
  std::vector<KeyProvInfo> made;
  // The store, or the error after which the containers made so far are deleted again.
  const SysError failure = [&]() -> SysError {
    for (const KeyItem& key : contents.keys) {
      ProviderInfo provider{kMsEnhancedProv, kProvRsaFull};
      ProviderInfo named;
      if (!key.provider.empty() && FindProvider(key.provider, &named) == kErrorSuccess) {
        provider = named;
      }
      KeyProvInfo link;
      bool fresh = false;
      if (SysError e = ImportPrivateKey(key.pkcs8.bytes(), provider.name, provider.type,
                                        key.keySpec, keyFlags, &link, &fresh)) {
        return e;
      }
      if (fresh) made.push_back(link);
      for (CertContext& cert : certs) {
        if (!key.publicKeyBits.empty() && cert.cert().publicKey == key.publicKeyBits) {
          if (SysError e = cert.SetKeyLink(link)) return e;
        }
      }
    }
    CertStore store = CertStore::OpenMemory();
    for (const CertContext& cert : certs) {
      if (SysError e = store.Add(cert, kCertStoreAddAlways)) return e;
    }
    *out = std::move(store);
    return kErrorSuccess;
  }();
  if (failure != kErrorSuccess) {
    DeleteKeyContainers(made);
    return failure;
  }
  if (created != nullptr) *created = std::move(made);
  return kErrorSuccess;
}

}  // namespace zyq::platform
