#include "deepscan/fat_entry_times.h"

#include "common/bytes.h"
#include "platform/clock.h"

namespace brinvale {
namespace {

// Offsets in a 32-byte short directory entry.
constexpr size_t kEntrySize = 32;
constexpr size_t kCreationTenMs = 13;  // 0..199, units of 10 ms
constexpr size_t kCreationTime = 14;
constexpr size_t kCreationDate = 16;
constexpr size_t kAccessDate = 18;
constexpr size_t kWriteTime = 22;
constexpr size_t kWriteDate = 24;

// FAT dates: bits 0-4 day, 5-8 month, 9-15 years since 1980.
// FAT times: bits 0-4 seconds / 2, 5-10 minutes, 11-15 hours.
uint64_t ToFileTime(uint16_t date, uint16_t time, int extraSeconds) {
  platform::SystemTime t;
  t.day = date & 31;
  t.month = (date >> 5) & 15;
  t.year = (date >> 9) + 1980;
  t.hour = time >> 11;
  t.minute = (time >> 5) & 63;
  t.second = (time & 31) * 2 + extraSeconds;
  t.milliseconds = 0;
  return platform::SystemTimeToFileTime(t).value_or(0);
}

}  // namespace

FatFileTimes FatEntryTimes(std::span<const uint8_t> entry) {
  FatFileTimes times;
  if (entry.size() < kEntrySize) return times;
  // The 10-ms count carries a whole second once it passes 100 (it runs to 199).
  const int extra = entry[kCreationTenMs] > 100 ? 1 : 0;
  times.creation =
      ToFileTime(LoadLe16(entry, kCreationDate), LoadLe16(entry, kCreationTime), extra);
  times.lastAccess = ToFileTime(LoadLe16(entry, kAccessDate), 0, 0);
  times.lastWrite = ToFileTime(LoadLe16(entry, kWriteDate), LoadLe16(entry, kWriteTime), 0);
  return times;
}

}  // namespace brinvale
