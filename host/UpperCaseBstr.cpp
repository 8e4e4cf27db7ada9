#include "host/UpperCaseBstr.h"

#include "platform/Text.h"

namespace zyq {

void UpperCaseBstr(platform::Bstr& text) {
  if (text.IsNull()) return;
  text = platform::Bstr::FromAnsi(platform::AnsiUpperCase(text.ToAnsi()));
}

}  // namespace zyq
