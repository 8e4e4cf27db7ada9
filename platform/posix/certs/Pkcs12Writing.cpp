// Writing PKCS#12 files from a store: certificates and, through their key links, their keys.
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include "platform/CryptoKeys.h"
#include "platform/Pkcs12.h"
#include "platform/Secret.h"
#include "platform/posix/OpenSslPtr.h"
#include "platform/posix/certs/OpenSslContext.h"
#include "platform/posix/certs/Pkcs12Support.h"

namespace zyq::platform {
namespace {

using posix::OpenSslPtr;
namespace p12 = posix::pkcs12;

constexpr int kIterations = 2048;
constexpr int kCipher = NID_aes_256_cbc;

// The private key of a certificate for the export, or why there is none. *skip is set when
// the flags say to export the certificate without its key.
SysError KeyOf(const CertContext& cert, uint32_t flags, SecretBytes* pkcs8, bool* skip) {
  *skip = false;
  if (!cert.keyLink()) {
    if (flags & kReportNoPrivateKey) return kCryptENotFound;
    *skip = true;
    return kErrorSuccess;
  }
  const SysError err = ExportPrivateKey(*cert.keyLink(), pkcs8);
  switch (err) {
    case kErrorSuccess:
      return kErrorSuccess;
    case kNteBadKeyState:
    case kNtePerm:
    case kNteBadKey:
      if (flags & kReportNotAbleToExportPrivateKey) return err;
      *skip = true;
      return kErrorSuccess;
    case kNteBadKeyset:
    case kNteNoKey:
    case kNteKeysetNotDef:
      if (flags & kReportNoPrivateKey) return err;
      *skip = true;
      return kErrorSuccess;
    default:
      return err;  // a refused protected key, a state database failure
  }
}

bool AddBagAttributes(PKCS12_SAFEBAG* bag, const Bytes& keyId) {
  return PKCS12_add_localkeyid(bag, const_cast<unsigned char*>(keyId.data()),
                               static_cast<int>(keyId.size())) == 1;
}

}  // namespace

SysError ExportPfx(const CertStore& store, PfxPassword password, uint32_t flags, Bytes* out) {
  constexpr uint32_t kKnown =
      kReportNoPrivateKey | kReportNotAbleToExportPrivateKey | kExportPrivateKeys;
  if (flags & ~kKnown) return kNteBadFlags;
  std::vector<CertContext> certs;
  if (SysError err = store.Enumerate(&certs)) return err;

  OSSL_LIB_CTX* ctx = posix::CertLibraryContext();
  const p12::Password pw(password);
  OpenSslPtr<STACK_OF(PKCS12_SAFEBAG)> certBags(sk_PKCS12_SAFEBAG_new_null());
  OpenSslPtr<STACK_OF(PKCS12_SAFEBAG)> keyBags(sk_PKCS12_SAFEBAG_new_null());
  if (!certBags || !keyBags) return kNteNoMemory;

  for (const CertContext& cert : certs) {
    SecretBytes pkcs8;
    bool withoutKey = true;
    if (flags & kExportPrivateKeys) {
      if (SysError err = KeyOf(cert, flags, &pkcs8, &withoutKey)) return err;
    }
    const unsigned char* p = cert.encoded().data();
    OpenSslPtr<X509> x509(d2i_X509(nullptr, &p, static_cast<long>(cert.encoded().size())));
    if (!x509) {
      ERR_clear_error();
      return kCryptEAsn1Corrupt;
    }
    OpenSslPtr<PKCS12_SAFEBAG> certBag(PKCS12_SAFEBAG_create_cert(x509.get()));
    if (!certBag) return kNteNoMemory;
    // The certificate's thumbprint ties it to its key bag.
    const Bytes keyId(cert.sha1Thumbprint().begin(), cert.sha1Thumbprint().end());
    if (!withoutKey) {
      const unsigned char* k = pkcs8.bytes().data();
      OpenSslPtr<PKCS8_PRIV_KEY_INFO> p8(
          d2i_PKCS8_PRIV_KEY_INFO(nullptr, &k, static_cast<long>(pkcs8.bytes().size())));
      if (!p8) {
        ERR_clear_error();
        return kNteBadKey;
      }
      OpenSslPtr<PKCS12_SAFEBAG> keyBag(PKCS12_SAFEBAG_create_pkcs8_encrypt_ex(
          kCipher, pw.data(), pw.length(), nullptr, 0, kIterations, p8.get(), ctx, nullptr));
      if (!keyBag || !AddBagAttributes(keyBag.get(), keyId) ||
          !AddBagAttributes(certBag.get(), keyId)) {
        ERR_clear_error();
        return kNteFail;
      }
      // Where the key came from, as Windows writes it: the container name as friendly name and
      // the provider name ("Microsoft CSP Name").
      const KeyProvInfo& link = *cert.keyLink();
      PKCS12_add_friendlyname_asc(keyBag.get(), link.containerName.c_str(),
                                  static_cast<int>(link.containerName.size()));
      PKCS12_add_CSPName_asc(keyBag.get(), link.providerName.c_str(),
                             static_cast<int>(link.providerName.size()));
      if (!sk_PKCS12_SAFEBAG_push(keyBags.get(), keyBag.get())) return kNteNoMemory;
      keyBag.release();
    }
    if (!sk_PKCS12_SAFEBAG_push(certBags.get(), certBag.get())) return kNteNoMemory;
    certBag.release();
  }

  STACK_OF(PKCS7)* rawSafes = nullptr;
  bool ok = true;
  if (sk_PKCS12_SAFEBAG_num(certBags.get()) > 0) {
    ok = PKCS12_add_safe_ex(&rawSafes, certBags.get(), kCipher, kIterations, pw.data(), ctx,
                            nullptr) == 1;
  }
  if (ok && sk_PKCS12_SAFEBAG_num(keyBags.get()) > 0) {
    // The key bags are encrypted one by one already.
    ok = PKCS12_add_safe_ex(&rawSafes, keyBags.get(), -1, 0, nullptr, ctx, nullptr) == 1;
  }
  OpenSslPtr<STACK_OF(PKCS7)> safes(rawSafes);
  if (ok && !safes) safes.reset(sk_PKCS7_new_null());
  OpenSslPtr<PKCS12> file;
  if (ok && safes) file.reset(PKCS12_add_safes_ex(safes.get(), 0, ctx, nullptr));
  ok = ok && file &&
       PKCS12_set_mac(file.get(), pw.data(), pw.length(), nullptr, 0, kIterations, EVP_sha256()) ==
           1;
  if (!ok) {
    ERR_clear_error();
    return kNteFail;
  }
  const int len = i2d_PKCS12(file.get(), nullptr);
  if (len <= 0) {
    ERR_clear_error();
    return kNteFail;
  }
  Bytes der(static_cast<size_t>(len));
  unsigned char* w = der.data();
  i2d_PKCS12(file.get(), &w);
  *out = std::move(der);
  return kErrorSuccess;
}

}  // namespace zyq::platform
