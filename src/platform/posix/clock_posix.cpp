#include <sys/time.h>
#include <time.h>

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

}  // namespace brinvale::platform
