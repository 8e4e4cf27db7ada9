#include "platform/Secret.h"

namespace zyq {

void SecureWipe(void* data, size_t n) {
  if (data == nullptr) return;
  // Writes through a volatile pointer are observable, so they are never elided.
  volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
  while (n-- > 0) *p++ = 0;
}

}  // namespace zyq
