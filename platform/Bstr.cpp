#include "platform/Bstr.h"

#include "platform/Secret.h"
#include "platform/Text.h"

namespace zyq::platform {

Bstr Bstr::FromAnsi(std::string_view ansi) {
  const std::u16string wide = AnsiToWide(ansi);
  return FromView(wide);
}

std::u16string_view Bstr::UpToNul() const {
  std::u16string_view v = View();
  const size_t nul = v.find(u'\0');
  return nul == std::u16string_view::npos ? v : v.substr(0, nul);
}

std::string Bstr::ToAnsi() const {
  return WideToAnsi(UpToNul());
}

void Bstr::Wipe() {
  if (chars_ != nullptr) SecureWipe(chars_, size_t{Length()} * 2);
}

}  // namespace zyq::platform
