#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/LocalTime.h"

namespace zvword {
namespace {

TEST(LocalTime, EncodesTheDayCountOfTheHostFramework) {
  struct Case {
    TSystemTime t;
    TDateTime value;
  } cases[] = {
      {{1899, 12, 30, 0, 0, 0, 0}, 0.0},   {{1900, 1, 1, 0, 0, 0, 0}, 2.0},
      {{2000, 1, 1, 12, 0, 0, 0}, 36526.5}, {{1899, 12, 29, 18, 0, 0, 0}, -1.75},
      {{1970, 1, 1, 0, 0, 0, 0}, 25569.0}, {{2024, 2, 29, 6, 0, 0, 0}, 45351.25},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(EncodeDateTime(c.t), c.value) << c.t.Year << "-" << c.t.Month << "-" << c.t.Day;
    const TSystemTime back = DecodeDateTime(c.value);
    EXPECT_EQ(back.Year, c.t.Year);
    EXPECT_EQ(back.Month, c.t.Month);
    EXPECT_EQ(back.Day, c.t.Day);
    EXPECT_EQ(back.Hour, c.t.Hour);
  }
}

TEST(LocalTime, RejectsImpossibleDates) {
  TDateTime v = 0;
  EXPECT_FALSE(TryEncodeDateTime({2023, 2, 29, 0, 0, 0, 0}, v));
  EXPECT_FALSE(TryEncodeDateTime({2023, 13, 1, 0, 0, 0, 0}, v));
  EXPECT_FALSE(TryEncodeDateTime({2023, 1, 1, 24, 0, 0, 0}, v));
  EXPECT_TRUE(TryEncodeDateTime({2000, 2, 29, 23, 59, 59, 999}, v));
  // Nonsense values decode to nothing rather than to garbage.
  EXPECT_EQ(DecodeDateTime(1e300).Year, 0);
}

TEST(LocalTime, FileTimesAndTimeZones) {
  EXPECT_DOUBLE_EQ(FileTimeToDateTimeUTC(116444736000000000ull), 25569.0);  // 1970-01-01
  EXPECT_DOUBLE_EQ(FileTimeToDateTimeUTC(0), -109205.0);                    // 1601-01-01
  setenv("TZ", "UTC-2", 1);  // two hours east of UTC
  tzset();
  EXPECT_NEAR(FileTimeToLocalDateTime(116444736000000000ull), 25569.0 + 2.0 / 24, 1e-9);
  EXPECT_NEAR(UnixToLocalDateTime(3600), 25569.0 + 3.0 / 24, 1e-9);
  EXPECT_NEAR(LocalToUtc(UtcToLocal(40000.25)), 40000.25, 1e-9);
  unsetenv("TZ");
  tzset();
}

}  // namespace
}  // namespace zvword
