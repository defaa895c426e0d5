// The GPS time fields (18 to 21) and the receiver-clock fields (33 to 40) of the catalogue,
// which the readers write alike from their own clock values.
#pragma once

#include "convert/text.h"

namespace polvane {

struct ClockTime {
  long long Hour, Minute, Second;
};
struct ClockDate {
  long long Month, Day, Year;
};

// "GPS Time (HH:MM:SS)", "GPS Hour (HH)", "GPS Minute (MM)", "GPS Second (SS)"; nullptr when
// `field` is none of them.
inline char* PutGpsTimeField(char* p, int field, const ClockTime& t) {
  switch (field) {
    case 18:
      return text::Put02Triple(p, t.Hour, t.Minute, t.Second, ':');
    case 19:
      return text::Put02(p, t.Hour);
    case 20:
      return text::Put02(p, t.Minute);
    case 21:
      return text::Put02(p, t.Second);
    default:
      return nullptr;
  }
}

// "RTC Date (MM-DD-YY)" (written month/day/year) to "RTC Second (SS)"; nullptr when `field` is
// none of them.
inline char* PutRtcField(char* p, int field, const ClockDate& d, const ClockTime& t) {
  switch (field) {
    case 33:
      return text::Put02Triple(p, d.Month, d.Day, d.Year, '/');
    case 34:
      return text::Put02(p, d.Month);
    case 35:
      return text::Put02(p, d.Day);
    case 36:
      return text::Put02(p, d.Year);
    case 37:
      return text::Put02Triple(p, t.Hour, t.Minute, t.Second, ':');
    case 38:
      return text::Put02(p, t.Hour);
    case 39:
      return text::Put02(p, t.Minute);
    case 40:
      return text::Put02(p, t.Second);
    default:
      return nullptr;
  }
}

}  // namespace polvane
