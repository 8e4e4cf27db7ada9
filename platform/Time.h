// Local civil time of the machine, as FileTimeToLocalFileTime followed by FileTimeToSystemTime
// give it: the time zone comes from the process environment (TZ, else the system's zone).
#pragma once

#include "platform/Certificates.h"

namespace zyq::platform {

struct LocalDateTime {
  int year = 0;    // e.g. 2010
  int month = 0;   // 1..12
  int day = 0;     // 1..31
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
  int second = 0;  // 0..60
};

// Converts a FILETIME (UTC) to the machine's local date and time, whole seconds (the fraction is
// dropped). The offset is the one in force at that moment, daylight saving included. False, with
// *out untouched, when the time has no local form (beyond what SYSTEMTIME can hold: FILETIME
// values with the top bit set, or local years outside 1601..30827).
bool LocalTimeFromFileTime(FileTime time, LocalDateTime* out);

}  // namespace zyq::platform
