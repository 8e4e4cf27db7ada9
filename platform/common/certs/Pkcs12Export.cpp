// The certificates of a store and their keys into a PKCS#12 file: which keys go with their
// certificates, by the rules of PFXExportCertStoreEx, and fresh random salts.
#include "platform/CryptoKeys.h"
#include "platform/Text.h"
#include "platform/common/certs/Pkcs12Encoding.h"
#include "platform/common/certs/Pkcs12Primitives.h"

namespace zyq::platform::common {
namespace {

// The private key of a certificate by the rules of ExportPfx; *skip when the certificate goes
// without it.
SysError KeyOf(const CertContext& cert, uint32_t flags, SecretBytes* pkcs8, bool* skip) {
  *skip = true;
  if ((flags & kExportPrivateKeys) == 0) return kErrorSuccess;
  if (!cert.keyLink()) return (flags & kReportNoPrivateKey) != 0 ? kCryptENotFound : 0;
  const SysError err = ExportPrivateKey(*cert.keyLink(), pkcs8);
  switch (err) {
    case kErrorSuccess:
      *skip = false;
      return kErrorSuccess;
    case kNteBadKeyState:
    case kNtePerm:
    case kNteBadKey:
      return (flags & kReportNotAbleToExportPrivateKey) != 0 ? err : kErrorSuccess;
    case kNteBadKeyset:
    case kNteNoKey:
    case kNteKeysetNotDef:
      return (flags & kReportNoPrivateKey) != 0 ? err : kErrorSuccess;
    default:
      return err;  // a refused protected key, a failure of the key store
  }
}

}  // namespace

SysError WritePkcs12(const std::vector<CertContext>& certs, PfxPassword password, uint32_t flags,
                     Bytes* out) {
  std::vector<SecretBytes> keys(certs.size());
  std::vector<Pkcs12Item> items;
  for (size_t i = 0; i < certs.size(); ++i) {
    bool skip = true;
    if (SysError err = KeyOf(certs[i], flags, &keys[i], &skip)) return err;
    Pkcs12Item item{certs[i].encoded(), {}, {}, {}};
    if (!skip) {
      item.privateKey = keys[i].bytes();
      item.containerName = AnsiToWide(certs[i].keyLink()->containerName);
      item.providerName = AnsiToWide(certs[i].keyLink()->providerName);
    }
    items.push_back(std::move(item));
  }
  return EncodePkcs12(items, password, RandomBytes, out);
}

}  // namespace zyq::platform::common
