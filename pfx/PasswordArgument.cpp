#include "pfx/PasswordArgument.h"

#include <string>
#include <utility>

namespace zyq {

SecretString TakePassword(platform::Bstr& text) {
  std::string ansi = text.ToAnsi();
  SecretString password(std::move(ansi));
  // A short text may stay behind in the moved-from string's own buffer.
  SecureWipe(ansi.data(), ansi.capacity());
  text.Wipe();
  return password;
}

}  // namespace zyq
