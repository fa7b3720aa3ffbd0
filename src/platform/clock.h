#pragma once

#include <cstdint>
#include <optional>

// Time: a millisecond tick, local wall-clock time, and FILETIME values
// (100-nanosecond intervals since 1 January 1601).
namespace brinvale::platform {

struct SystemTime {
  int year = 1601;
  int month = 1;   // 1..12
  int dayOfWeek = 0;
  int day = 1;     // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int milliseconds = 0;
};

// Milliseconds since an arbitrary start; wraps like GetTickCount.
uint32_t TickCountMs();

// The local wall-clock time.
SystemTime LocalTime();

// The FILETIME of a calendar time, taken as is (no time-zone change).
// Empty when a field is out of range (month 13, 30 February, year < 1601,
// hour 24, ...), as SystemTimeToFileTime fails on such input.
std::optional<uint64_t> SystemTimeToFileTime(const SystemTime& t);

// The calendar time of a FILETIME, taken as is.
SystemTime FileTimeToSystemTime(uint64_t fileTime);

// A FILETIME that holds a wall-clock time of this machine's time zone (as
// FAT stores them), as UTC, with the zone's offset on that date. Empty when
// the time cannot be converted.
std::optional<uint64_t> LocalFileTimeToUtc(uint64_t localFileTime);

}  // namespace brinvale::platform
