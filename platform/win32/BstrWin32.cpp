// BSTRs come from OLE Automation (oleaut32): callers free what the library returns with
// SysFreeString, and the library frees what it is given the same way.
#include <windows.h>
// (the headers below need windows.h first)
#include <oleauto.h>

#include <cstddef>

#include "platform/Bstr.h"

namespace zyq::platform {

BstrChars AllocBstrLen(const char16_t* text, uint32_t length) {
  if (length > 0x7ffffff0u / 2) return nullptr;
  BSTR b = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text), static_cast<UINT>(length));
  // Without text the characters are zeros, not whatever the allocator left there.
  if (b != nullptr && text == nullptr) ZeroMemory(b, size_t{length} * 2);
  return reinterpret_cast<BstrChars>(b);
}

BstrChars AllocBstr(const char16_t* text) {
  if (text == nullptr) return nullptr;
  return reinterpret_cast<BstrChars>(SysAllocString(reinterpret_cast<const OLECHAR*>(text)));
}

uint32_t BstrLength(const char16_t* bstr) {
  return bstr == nullptr ? 0 : SysStringLen(reinterpret_cast<BSTR>(const_cast<char16_t*>(bstr)));
}

void FreeBstr(char16_t* bstr) {
  if (bstr != nullptr) SysFreeString(reinterpret_cast<BSTR>(bstr));
}

}  // namespace zyq::platform
