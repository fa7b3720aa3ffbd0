#include "engines/fat/fat_high_word_probe.h"

#include "common/error_codes.h"
#include "engines/fat/fat_entry_layout.h"

namespace brinvale {

uint32_t ProbeHighWord(uint16_t low, uint64_t volumeEnd, const ClusterLocator& locate,
                       const SectorFetch& read, const CandidateTest& test) {
  std::vector<uint8_t> sector;
  for (uint32_t high = 0; high <= fatdir::kLastHighWord; ++high) {
    const uint64_t cluster = uint64_t(high) << 16 | low;
    if (cluster < 2) continue;
    const std::optional<uint64_t> at = locate(cluster);
    if (!at || *at >= volumeEnd) break;
    if (read(*at, sector) != kOk) continue;
    if (test(sector, *at)) return high;
  }
  return 0;
}

}  // namespace brinvale
