#include "pfx/PfxExport.h"

#include <string>
#include <utility>

#include "engine/ResultCodes.h"
#include "platform/Pkcs12.h"
#include "platform/Text.h"

namespace zyq {
namespace {

// The password as the wide text the platform takes, wiped when it goes out of scope.
class WidePassword {
 public:
  explicit WidePassword(const SecretString& ansi) : text_(platform::AnsiToWide(ansi.str())) {}
  ~WidePassword() { SecureWipe(text_.data(), text_.capacity() * sizeof(char16_t)); }
  WidePassword(const WidePassword&) = delete;
  WidePassword& operator=(const WidePassword&) = delete;
  std::u16string_view view() const { return text_; }

 private:
  std::u16string text_;
};

}  // namespace

int32_t ExportKeyedPfx(const platform::CertStore& store, const SecretString& password,
                       SecretBytes* pfx, platform::SysError* error) {
  const WidePassword wide(password);
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
