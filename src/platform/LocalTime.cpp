#include "platform/LocalTime.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace zvword {
namespace {
using namespace std::chrono;
// Days from 1970-01-01 of a proleptic Gregorian date; months and days past their range carry over.
int64_t DaysFromCivil(int y, int m, int d) {
  const year_month ym = year{y} / January + months{m - 1};
  return (sys_days{ym / 1} + days{d - 1}).time_since_epoch().count();
}
constexpr int64_t kUnixEpochDays = 25569;  // 1970-01-01 as a TDateTime
int64_t LocalOffsetSeconds(int64_t utcSeconds) {
  std::time_t t = static_cast<std::time_t>(utcSeconds);
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return 0;
  return tm.tm_gmtoff;
}
}  // namespace

TDateTime EncodeDateTime(const TSystemTime& t) {
  const int64_t days = DaysFromCivil(t.Year, t.Month, t.Day) + kUnixEpochDays;
  const double frac = (t.Hour * 3600000.0 + t.Minute * 60000.0 + t.Second * 1000.0 + t.Milliseconds) / 86400000.0;
  // Before 1899-12-30 the fraction counts away from zero, as the host framework encodes it.
  return days >= 0 ? static_cast<double>(days) + frac : static_cast<double>(days) - frac;
}

bool TryEncodeDateTime(const TSystemTime& t, TDateTime& result) {
  const year_month_day date{year{t.Year}, month{static_cast<unsigned>(t.Month)}, day{static_cast<unsigned>(t.Day)}};
  if (t.Year < 1 || t.Year > 9999 || t.Month < 1 || t.Day < 1 || !date.ok() ||
      t.Hour < 0 || t.Hour > 23 || t.Minute < 0 || t.Minute > 59 || t.Second < 0 || t.Second > 59 ||
      t.Milliseconds < 0 || t.Milliseconds > 999)
    return false;
  result = EncodeDateTime(t);
  return true;
}

TSystemTime DecodeDateTime(TDateTime value) {
  TSystemTime r;
  if (!std::isfinite(value) || std::fabs(value) > 3e6) return r;
  double whole = std::trunc(value);
  double frac = std::fabs(value - whole);
  int64_t ms = std::llround(frac * 86400000.0);
  if (ms >= 86400000) {
    ms -= 86400000;
    whole += value >= 0 ? 1 : -1;
  }
  const year_month_day date{sys_days{days{static_cast<int64_t>(whole) - kUnixEpochDays}}};
  r.Year = static_cast<int>(date.year());
  r.Month = static_cast<int>(static_cast<unsigned>(date.month()));
  r.Day = static_cast<int>(static_cast<unsigned>(date.day()));
  r.Hour = static_cast<int>(ms / 3600000);
  r.Minute = static_cast<int>(ms / 60000 % 60);
  r.Second = static_cast<int>(ms / 1000 % 60);
  r.Milliseconds = static_cast<int>(ms % 1000);
  return r;
}

TDateTime NowLocal() {
  std::timespec ts{};
  std::timespec_get(&ts, TIME_UTC);
  const int64_t local = ts.tv_sec + LocalOffsetSeconds(ts.tv_sec);
  return kUnixEpochDays + (static_cast<double>(local) + ts.tv_nsec / 1e9) / 86400.0;
}

TDateTime FileTimeToDateTimeUTC(uint64_t fileTime) {
  // 1601-01-01 is 109205 days before 1899-12-30.
  return static_cast<double>(fileTime) / 864000000000.0 - 109205.0;
}

TDateTime FileTimeToLocalDateTime(uint64_t fileTime) { return UtcToLocal(FileTimeToDateTimeUTC(fileTime)); }

TDateTime UnixToLocalDateTime(int64_t seconds) {
  return kUnixEpochDays + static_cast<double>(seconds + LocalOffsetSeconds(seconds)) / 86400.0;
}

TDateTime UtcToLocal(TDateTime utc) {
  const auto secs = static_cast<int64_t>(std::floor((utc - kUnixEpochDays) * 86400.0));
  return utc + static_cast<double>(LocalOffsetSeconds(secs)) / 86400.0;
}

TDateTime LocalToUtc(TDateTime local) {
  const auto secs = static_cast<int64_t>(std::floor((local - kUnixEpochDays) * 86400.0));
  return local - static_cast<double>(LocalOffsetSeconds(secs)) / 86400.0;
}

}  // namespace zvword
