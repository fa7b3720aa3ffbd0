#include <cstdint>

#include "platform/clock.h"

namespace brinvale::platform {
namespace {

constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kTicksPerDay = 86'400 * kTicksPerSecond;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days from 1 January 1601 to the given date (proleptic Gregorian).
int64_t DaysSince1601(int y, int m, int d) {
  // Shift the year so that it starts in March; leap days then fall last.
  int64_t yy = y - (m <= 2 ? 1 : 0);
  int64_t era = yy / 400;
  int64_t yoe = yy - era * 400;
  int64_t mp = (m + 9) % 12;
  int64_t doy = (153 * mp + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  int64_t daysSince0000 = era * 146097 + doe;
  constexpr int64_t k1601 = 584'694;  // the same count for 1 January 1601
  return daysSince0000 - k1601;
}

}  // namespace

std::optional<uint64_t> SystemTimeToFileTime(const SystemTime& t) {
  if (t.year < 1601 || t.year > 30827) return std::nullopt;
  if (t.month < 1 || t.month > 12) return std::nullopt;
  if (t.day < 1 || t.day > DaysInMonth(t.year, t.month)) return std::nullopt;
  if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 ||
      t.second > 59 || t.milliseconds < 0 || t.milliseconds > 999)
    return std::nullopt;
  int64_t days = DaysSince1601(t.year, t.month, t.day);
  int64_t seconds = int64_t(t.hour) * 3600 + t.minute * 60 + t.second;
  return uint64_t(days * kTicksPerDay + seconds * kTicksPerSecond +
                  int64_t(t.milliseconds) * 10'000);
}

SystemTime FileTimeToSystemTime(uint64_t fileTime) {
  SystemTime t;
  int64_t days = int64_t(fileTime / uint64_t(kTicksPerDay));
  int64_t rest = int64_t(fileTime % uint64_t(kTicksPerDay));
  t.dayOfWeek = int((days + 1) % 7);  // 1 January 1601 was a Monday
  // Civil date from a day count since 0000-03-01.
  int64_t z = days + 584'694;  // to days since 0000-03-01
  int64_t era = z / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  t.day = int(doy - (153 * mp + 2) / 5 + 1);
  t.month = int(mp < 10 ? mp + 3 : mp - 9);
  t.year = int(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
  t.hour = int(rest / (3600 * kTicksPerSecond));
  t.minute = int(rest / (60 * kTicksPerSecond) % 60);
  t.second = int(rest / kTicksPerSecond % 60);
  t.milliseconds = int(rest / 10'000 % 1000);
  return t;
}

}  // namespace brinvale::platform
