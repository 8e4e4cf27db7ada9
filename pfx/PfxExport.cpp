#include "pfx/PfxExport.h"

#include <string>
#include <utility>

#include "cert/WidePassword.h"
#include "engine/ResultCodes.h"
#include "platform/Pkcs12.h"

namespace zyq {

int32_t ExportKeyedPfx(const platform::CertStore& store, const SecretString& password,
                       SecretBytes* pfx, platform::SysError* error) {
  const WidePassword wide(password.str());
  platform::Bytes bytes;
  const platform::SysError failure = platform::ExportPfx(
      store, platform::PfxPassword(wide.view()),
      platform::kExportPrivateKeys | platform::kReportNotAbleToExportPrivateKey |
          platform::kReportNoPrivateKey,
      &bytes);
  *error = failure;
  if (failure != platform::kErrorSuccess) {
    SecureWipe(bytes.data(), bytes.capacity());
    return failure == platform::kErrorCancelled ? result::kCancelled : result::kKeyNotExportable;
  }
  *pfx = SecretBytes(std::move(bytes));
  return result::kSuccess;
}

}  // namespace zyq
