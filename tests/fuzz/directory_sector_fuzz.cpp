// The directory sector test on arbitrary bytes of any length.
#include <cstdint>
#include <span>

#include "deepscan/fat_directory_tests.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> sector(data, size);
  const bool directory = brinvale::IsDirectorySector(sector);
  // A directory sector of at least one entry starts with a plausible entry.
  if (directory && size >= 32 && !brinvale::IsPlausibleEntry(sector)) __builtin_trap();
  (void)brinvale::IsDotDirectoryStart(sector);
  return 0;
}
