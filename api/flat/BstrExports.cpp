// The BSTR functions that callers use to free (and may use to make) the library's texts.
#define ZYQ_BUILDING_LIBRARY 1
#include "ZYQSecuritiesATL.h"
#include "platform/Bstr.h"

extern "C" {

ZYQ_API BSTR SysAllocString(const char16_t* text) {
  return zyq::platform::AllocBstr(text);
}

ZYQ_API BSTR SysAllocStringLen(const char16_t* text, uint32_t length) {
  return zyq::platform::AllocBstrLen(text, length);
}

ZYQ_API uint32_t SysStringLen(BSTR text) {
  return zyq::platform::BstrLength(text);
}

ZYQ_API void SysFreeString(BSTR text) {
  zyq::platform::FreeBstr(text);
}

}  // extern "C"
