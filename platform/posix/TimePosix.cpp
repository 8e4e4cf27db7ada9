#include <ctime>

#include "platform/Time.h"

namespace zyq::platform {

bool LocalTimeFromFileTime(FileTime time, LocalDateTime* out) {
  if (out == nullptr || (time >> 63) != 0) return false;
  const time_t seconds = static_cast<time_t>(UnixSecondsFromFileTime(time));
  tzset();
  std::tm local{};
  if (localtime_r(&seconds, &local) == nullptr) return false;
  const long year = static_cast<long>(local.tm_year) + 1900;
  if (year < 1601 || year > 30827) return false;
  out->year = static_cast<int>(year);
  out->month = local.tm_mon + 1;
  out->day = local.tm_mday;
  out->hour = local.tm_hour;
  out->minute = local.tm_min;
  out->second = local.tm_sec;
  return true;
}

}  // namespace zyq::platform
