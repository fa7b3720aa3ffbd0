// The millisecond tick and local time of both backends (GetTickCount and
// GetLocalTime on Windows).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/clock.h"

namespace brinvale::platform {
namespace {

TEST(Win32Clock, TickCountsMilliseconds) {
  const uint32_t before = TickCountMs();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const uint32_t elapsed = TickCountMs() - before;  // unsigned: survives a wrap
  EXPECT_GE(elapsed, 250u) << "ticks must be milliseconds, not seconds";
  EXPECT_LT(elapsed, 60'000u) << "ticks must be milliseconds, not microseconds";
}

TEST(Win32Clock, LocalTimeFieldsAreInRange) {
  const SystemTime t = LocalTime();
  EXPECT_GE(t.year, 2020);
  EXPECT_GE(t.month, 1);
  EXPECT_LE(t.month, 12);
  EXPECT_GE(t.day, 1);
  EXPECT_LE(t.day, 31);
  EXPECT_GE(t.dayOfWeek, 0);
  EXPECT_LE(t.dayOfWeek, 6);
  EXPECT_LE(t.hour, 23);
  EXPECT_LE(t.minute, 59);
  EXPECT_LE(t.second, 59);
  EXPECT_LE(t.milliseconds, 999);
  EXPECT_TRUE(SystemTimeToFileTime(t).has_value()) << "a local time is a valid calendar time";
}

}  // namespace
}  // namespace brinvale::platform
