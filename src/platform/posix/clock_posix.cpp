#include <sys/time.h>
#include <time.h>

#include <cerrno>

#include "platform/clock.h"

namespace brinvale::platform {

uint32_t TickCountMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint32_t(uint64_t(ts.tv_sec) * 1000 + uint64_t(ts.tv_nsec) / 1'000'000);
}

SystemTime LocalTime() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  time_t secs = tv.tv_sec;
  tm local{};
  localtime_r(&secs, &local);
  SystemTime t;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.dayOfWeek = local.tm_wday;
  t.day = local.tm_mday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec > 59 ? 59 : local.tm_sec;  // leap second
  t.milliseconds = int(tv.tv_usec / 1000);
  return t;
}

std::optional<uint64_t> LocalFileTimeToUtc(uint64_t localFileTime) {
  const SystemTime t = FileTimeToSystemTime(localFileTime);
  tm local{};
  local.tm_year = t.year - 1900;
  local.tm_mon = t.month - 1;
  local.tm_mday = t.day;
  local.tm_hour = t.hour;
  local.tm_min = t.minute;
  local.tm_sec = t.second;
  local.tm_isdst = -1;  // the zone's rule for that date decides
  errno = 0;
  const time_t seconds = mktime(&local);
  if (seconds == time_t(-1) && errno != 0) return std::nullopt;
  const int64_t ticks = int64_t(seconds) * 10'000'000 + 116'444'736'000'000'000LL +
                        int64_t(localFileTime % 10'000'000);
  if (ticks <= 0) return std::nullopt;
  return uint64_t(ticks);
}

}  // namespace brinvale::platform
