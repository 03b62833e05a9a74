#include "platform/LocalTime.h"

#include <cmath>
#include <ctime>

namespace zvword {
namespace {
// Days from 1970-01-01 for a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}
constexpr int64_t kUnixEpochDays = 25569;  // 1970-01-01 as a TDateTime
bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int DaysInMonth(int y, int m) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}
int64_t LocalOffsetSeconds(int64_t utcSeconds) {
  std::time_t t = static_cast<std::time_t>(utcSeconds);
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return 0;
  return tm.tm_gmtoff;
}
}  // namespace

TDateTime EncodeDateTime(const TSystemTime& t) {
  const int64_t days = DaysFromCivil(t.Year, static_cast<unsigned>(t.Month), static_cast<unsigned>(t.Day)) + kUnixEpochDays;
  const double frac = (t.Hour * 3600000.0 + t.Minute * 60000.0 + t.Second * 1000.0 + t.Milliseconds) / 86400000.0;
  // Before 1899-12-30 the fraction counts away from zero, as the host framework encodes it.
  return days >= 0 ? static_cast<double>(days) + frac : static_cast<double>(days) - frac;
}

bool TryEncodeDateTime(const TSystemTime& t, TDateTime& result) {
  if (t.Year < 1 || t.Year > 9999 || t.Month < 1 || t.Month > 12 || t.Day < 1 || t.Day > DaysInMonth(t.Year, t.Month) ||
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
  int64_t z = static_cast<int64_t>(whole) - kUnixEpochDays + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  r.Year = static_cast<int>(y + (m <= 2));
  r.Month = static_cast<int>(m);
  r.Day = static_cast<int>(d);
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
