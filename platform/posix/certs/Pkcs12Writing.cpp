// Writing PKCS#12 files from a store: certificates and, through their key links, their keys,
// by the shared writer (the form Windows' own export writes).
#include "platform/Pkcs12.h"
#include "platform/common/certs/Pkcs12Encoding.h"

namespace zyq::platform {

SysError ExportPfx(const CertStore& store, PfxPassword password, uint32_t flags, Bytes* out) {
  constexpr uint32_t kKnown =
      kReportNoPrivateKey | kReportNotAbleToExportPrivateKey | kExportPrivateKeys;
  if (flags & ~kKnown) return kNteBadFlags;
  std::vector<CertContext> certs;
  if (SysError err = store.Enumerate(&certs)) return err;
  return common::WritePkcs12(certs, password, flags, out);
}

}  // namespace zyq::platform
