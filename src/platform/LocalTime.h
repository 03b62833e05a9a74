// Date-time values (days since 1899-12-30) and conversions through the process's time zone.
#pragma once
#include <cstdint>

#include "platform/Types.h"

namespace zvword {

struct TSystemTime {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0, Milliseconds = 0;
};

TDateTime EncodeDateTime(const TSystemTime& t);  // no validation beyond the calendar arithmetic
bool TryEncodeDateTime(const TSystemTime& t, TDateTime& result);  // false for an invalid date
TSystemTime DecodeDateTime(TDateTime value);
TDateTime NowLocal();
// A Windows FILETIME (100 ns ticks since 1601-01-01 UTC) as UTC and as local time.
TDateTime FileTimeToDateTimeUTC(uint64_t fileTime);
TDateTime FileTimeToLocalDateTime(uint64_t fileTime);
// Unix seconds to local date-time and back.
TDateTime UnixToLocalDateTime(int64_t seconds);
TDateTime UtcToLocal(TDateTime utc);
TDateTime LocalToUtc(TDateTime local);

}  // namespace zvword
