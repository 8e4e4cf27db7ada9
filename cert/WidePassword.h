// A password as the wide text the platform's PKCS#12 services take, wiped when it goes out of
// scope.
#pragma once

#include <string>
#include <string_view>

#include "platform/Secret.h"
#include "platform/Text.h"

namespace zyq {

class WidePassword {
 public:
  explicit WidePassword(std::string_view ansi) : text_(platform::AnsiToWide(ansi)) {}
  ~WidePassword() { SecureWipe(text_.data(), text_.capacity() * sizeof(char16_t)); }
  WidePassword(const WidePassword&) = delete;
  WidePassword& operator=(const WidePassword&) = delete;
  std::u16string_view view() const { return text_; }

 private:
  std::u16string text_;
};

}  // namespace zyq
