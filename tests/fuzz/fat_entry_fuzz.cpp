// The single-entry FAT tests on arbitrary bytes: one entry, an entry and
// the next, or less than one entry.
#include <cstdint>
#include <span>

#include "deepscan/fat_directory_tests.h"
#include "deepscan/fat_entry_times.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  const bool plausible = brinvale::IsPlausibleEntry(bytes);
  (void)brinvale::FatEntryTimes(bytes);
  // A folder start is always a plausible first entry.
  if (brinvale::IsDotDirectoryStart(bytes) && !plausible) __builtin_trap();
  if (size >= 32) {
    // Without the following entry only the dot shortcut can change the answer.
    const bool alone = brinvale::IsPlausibleEntry(bytes.first(32));
    if (alone && !plausible) __builtin_trap();
  }
  return 0;
}
