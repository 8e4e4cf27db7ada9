// PKCS#12 bytes through the port's blob test and password check with a fixed password, in
// memory only: nothing is imported, no file is written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "platform/Pkcs12.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Real files are a few kilobytes; larger inputs only slow the key derivation down.
  if (size > (16u << 10)) return 0;
  const std::span<const uint8_t> blob(data, size);
  const bool isPfx = zyq::platform::IsPfxBlob(blob);

  static constexpr std::u16string_view kPassword = u"fuzz";
  zyq::platform::SysError error = 0;
  const bool opens = zyq::platform::VerifyPfxPassword(blob, kPassword, &error);
  if (opens && (!isPfx || error != 0)) std::abort();
  if (!opens && error == 0) std::abort();
  if (isPfx) {
    // The absent and the empty password are two different passwords; neither may crash.
    zyq::platform::VerifyPfxPassword(blob, std::nullopt);
    zyq::platform::VerifyPfxPassword(blob, std::u16string_view());
  }
  return 0;
}
