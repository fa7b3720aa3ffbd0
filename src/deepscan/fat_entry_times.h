#pragma once

#include <cstdint>
#include <span>

namespace brinvale {

// The three time stamps of a 32-byte FAT directory entry as FILETIME values
// (100-ns intervals since 1 January 1601), taken as local wall-clock time
// without any time-zone change. A stamp whose date or time does not form a
// real calendar time (month 0, 30 February, hour 24, ...) is 0.
struct FatFileTimes {
  uint64_t creation = 0;
  uint64_t lastAccess = 0;  // the access date at midnight
  uint64_t lastWrite = 0;
};

// Reads the creation date and time (with its 10-ms count), the access date
// and the last-write date and time of the entry at the start of `entry`.
// Fewer than 32 bytes give three zeros.
FatFileTimes FatEntryTimes(std::span<const uint8_t> entry);

}  // namespace brinvale
