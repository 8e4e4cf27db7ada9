// Local civil time of a FILETIME, as the engine shows certificate dates.
#include <windows.h>

#include "platform/Time.h"

namespace zyq::platform {

bool LocalTimeFromFileTime(FileTime time, LocalDateTime* out) {
  if (out == nullptr) return false;
  FILETIME utc{static_cast<DWORD>(time & 0xffffffffu), static_cast<DWORD>(time >> 32)};
  FILETIME local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st)) return false;
  *out = LocalDateTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
  return true;
}

}  // namespace zyq::platform
