#include <gtest/gtest.h>

#include <cstdint>

#include "platform/clock.h"

namespace brinvale::platform {
namespace {

constexpr uint64_t kTicksPerDay = 864'000'000'000;

SystemTime Date(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                int ms = 0) {
  SystemTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  t.milliseconds = ms;
  return t;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

TEST(SystemTimeToFileTime, KnownInstants) {
  EXPECT_EQ(SystemTimeToFileTime(Date(1601, 1, 1)), 0u);
  EXPECT_EQ(SystemTimeToFileTime(Date(1601, 1, 1, 0, 0, 0, 1)), 10'000u);
  EXPECT_EQ(SystemTimeToFileTime(Date(1601, 1, 2)), kTicksPerDay);
  EXPECT_EQ(SystemTimeToFileTime(Date(1970, 1, 1)), 116444736000000000u);  // Unix epoch
  EXPECT_EQ(SystemTimeToFileTime(Date(1990, 1, 1)), 0x1B41E2A18D64000u);
  EXPECT_EQ(SystemTimeToFileTime(Date(2050, 1, 1)), 0x1F7630BE39D8000u);
  EXPECT_EQ(SystemTimeToFileTime(Date(2000, 2, 29, 23, 59, 59)), 125963423990000000u);
}

TEST(SystemTimeToFileTime, RejectsFieldsOutOfRange) {
  EXPECT_FALSE(SystemTimeToFileTime(Date(1600, 12, 31)));
  EXPECT_FALSE(SystemTimeToFileTime(Date(30828, 1, 1)));
  EXPECT_FALSE(SystemTimeToFileTime(Date(2010, 0, 1)));
  EXPECT_FALSE(SystemTimeToFileTime(Date(2010, 13, 1)));
  EXPECT_FALSE(SystemTimeToFileTime(Date(2010, 1, 0)));
  EXPECT_FALSE(SystemTimeToFileTime(Date(2010, 1, 32)));
  EXPECT_FALSE(SystemTimeToFileTime(Date(2010, 4, 31)));
  EXPECT_FALSE(SystemTimeToFileTime(Date(2010, 2, 29)));
  EXPECT_FALSE(SystemTimeToFileTime(Date(1900, 2, 29))) << "century, not a leap year";
  EXPECT_TRUE(SystemTimeToFileTime(Date(2000, 2, 29))) << "400th year is a leap year";
  EXPECT_TRUE(SystemTimeToFileTime(Date(2012, 2, 29)));
  EXPECT_FALSE(SystemTimeToFileTime(Date(2010, 1, 1, 24)));
  EXPECT_FALSE(SystemTimeToFileTime(Date(2010, 1, 1, -1)));
  EXPECT_FALSE(SystemTimeToFileTime(Date(2010, 1, 1, 0, 60)));
  EXPECT_FALSE(SystemTimeToFileTime(Date(2010, 1, 1, 0, 0, 60)));
  EXPECT_FALSE(SystemTimeToFileTime(Date(2010, 1, 1, 0, 0, 0, 1000)));
  EXPECT_FALSE(SystemTimeToFileTime(Date(2010, 1, 1, 0, 0, 0, -1)));
}

TEST(SystemTimeToFileTime, ConsecutiveDaysAreOneDayApartAndRoundTrip) {
  // Every day from 1601 to 2500, with a time of day that varies.
  uint64_t previous = 0;
  int checked = 0;
  int weekday = 1;  // 1 January 1601 was a Monday
  for (int y = 1601; y <= 2500; ++y) {
    for (int m = 1; m <= 12; ++m) {
      static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
      const int days = m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
      for (int d = 1; d <= days; ++d) {
        std::optional<uint64_t> midnight = SystemTimeToFileTime(Date(y, m, d));
        ASSERT_TRUE(midnight) << y << "-" << m << "-" << d;
        if (checked > 0) {
          ASSERT_EQ(*midnight - previous, kTicksPerDay) << y << "-" << m << "-" << d;
        }
        previous = *midnight;
        const SystemTime in = Date(y, m, d, d % 24, (d * 7) % 60, (m * 5) % 60, (y * 3) % 1000);
        std::optional<uint64_t> ft = SystemTimeToFileTime(in);
        ASSERT_TRUE(ft);
        const SystemTime out = FileTimeToSystemTime(*ft);
        ASSERT_EQ(out.year, y);
        ASSERT_EQ(out.month, m);
        ASSERT_EQ(out.day, d);
        ASSERT_EQ(out.hour, in.hour);
        ASSERT_EQ(out.minute, in.minute);
        ASSERT_EQ(out.second, in.second);
        ASSERT_EQ(out.milliseconds, in.milliseconds);
        ASSERT_EQ(out.dayOfWeek, weekday) << y << "-" << m << "-" << d;
        weekday = (weekday + 1) % 7;
        ++checked;
      }
    }
  }
  EXPECT_EQ(checked, 328'718);  // days from 1601-01-01 to 2500-12-31
}

TEST(FileTimeToSystemTime, KnownInstants) {
  SystemTime t = FileTimeToSystemTime(0);
  EXPECT_EQ(t.year, 1601);
  EXPECT_EQ(t.month, 1);
  EXPECT_EQ(t.day, 1);
  EXPECT_EQ(t.dayOfWeek, 1);
  t = FileTimeToSystemTime(116444736000000000u);  // Unix epoch, a Thursday
  EXPECT_EQ(t.year, 1970);
  EXPECT_EQ(t.month, 1);
  EXPECT_EQ(t.day, 1);
  EXPECT_EQ(t.dayOfWeek, 4);
  t = FileTimeToSystemTime(116444736000000000u - 1);  // the last tick of 1969
  EXPECT_EQ(t.year, 1969);
  EXPECT_EQ(t.month, 12);
  EXPECT_EQ(t.day, 31);
  EXPECT_EQ(t.hour, 23);
  EXPECT_EQ(t.minute, 59);
  EXPECT_EQ(t.second, 59);
  EXPECT_EQ(t.milliseconds, 999);
  t = FileTimeToSystemTime(*SystemTimeToFileTime(Date(30827, 12, 31, 23, 59, 59, 999)));
  EXPECT_EQ(t.year, 30827);
  EXPECT_EQ(t.month, 12);
  EXPECT_EQ(t.day, 31);
}

}  // namespace
}  // namespace brinvale::platform
