// The BSTR allocation of this machine: the layout of OLE Automation over the C heap.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/Bstr.h"

namespace zyq::platform {
namespace {

// The byte length lives in the 4 bytes before the characters.
constexpr size_t kPrefix = sizeof(uint32_t);

}  // namespace

BstrChars AllocBstrLen(const char16_t* text, uint32_t length) {
  // The byte length must fit in the 32-bit prefix.
  if (length > (std::numeric_limits<uint32_t>::max() - kPrefix - 2) / 2) return nullptr;
  const size_t bytes = size_t{length} * 2;
  auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + bytes + 2));
  if (block == nullptr) return nullptr;
  const uint32_t prefix = static_cast<uint32_t>(bytes);
  std::memcpy(block, &prefix, kPrefix);
  auto* chars = reinterpret_cast<char16_t*>(block + kPrefix);
  if (text != nullptr && length > 0) {
    std::memcpy(chars, text, bytes);
  } else {
    std::memset(chars, 0, bytes);
  }
  chars[length] = u'\0';
  return chars;
}

BstrChars AllocBstr(const char16_t* text) {
  if (text == nullptr) return nullptr;
  size_t n = 0;
  while (text[n] != u'\0') ++n;
  if (n > std::numeric_limits<uint32_t>::max()) return nullptr;
  return AllocBstrLen(text, static_cast<uint32_t>(n));
}

uint32_t BstrLength(const char16_t* bstr) {
  if (bstr == nullptr) return 0;
  uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<const unsigned char*>(bstr) - kPrefix, kPrefix);
  return bytes / 2;
}

void FreeBstr(char16_t* bstr) {
  if (bstr == nullptr) return;
  std::free(reinterpret_cast<unsigned char*>(bstr) - kPrefix);
}

}  // namespace zyq::platform
