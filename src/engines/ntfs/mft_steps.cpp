#include "engines/ntfs/mft_steps.h"

#include <algorithm>
#include <cstring>

#include "common/error_codes.h"

namespace brinvale {

std::vector<MftStep> PlanMftSteps(const NtfsVolume& volume, std::span<const PlacedRun> runs,
                                  size_t batchBytes) {
  std::vector<MftStep> steps;
  const uint32_t bps = volume.bytesPerSector;
  const uint32_t rs = volume.recordSize;
  if (bps == 0 || rs == 0 || batchBytes < rs || volume.sectorsPerCluster == 0) return steps;
  uint64_t recordNumber = 0;  // the record that starts at the batch's front
  size_t carry = 0;           // bytes of a record split over two steps, at the front
  for (const PlacedRun& run : runs) {
    uint64_t runSectors = 0, firstSector = 0;
    if (__builtin_mul_overflow(run.clusterCount, uint64_t(volume.sectorsPerCluster),
                               &runSectors) ||
        __builtin_mul_overflow(run.startCluster, uint64_t(volume.sectorsPerCluster),
                               &firstSector) ||
        __builtin_add_overflow(firstSector, volume.startSector, &firstSector))
      break;  // a run the volume cannot hold ends the pass
    if (run.sparse) {
      // No clusters, so no records: stepped over without reading.
      uint64_t records = 0;
      if (__builtin_mul_overflow(runSectors, uint64_t(bps), &records)) break;
      records = (records + carry) / rs;
      const uint64_t before = recordNumber;
      if (__builtin_add_overflow(recordNumber, records, &recordNumber)) break;
      steps.push_back({firstSector, runSectors, true, before, carry});
      carry = 0;
      continue;
    }
    uint64_t done = 0;  // sectors of this run stepped over so far
    while (done < runSectors) {
      const uint64_t room = (batchBytes - carry) / bps;
      const uint64_t sectors = std::min<uint64_t>(runSectors - done, room);
      if (sectors == 0) break;
      steps.push_back({firstSector + done, sectors, false, recordNumber, carry});
      const size_t available = carry + size_t(sectors) * bps;
      const size_t whole = available / rs;
      recordNumber += whole;
      carry = available - whole * rs;
      done += sectors;
    }
  }
  return steps;
}

bool ReadMftStep(SectorReader& reader, uint32_t bytesPerSector, const MftStep& step,
                 uint8_t* into) {
  const uint32_t count = uint32_t(step.sectors);
  uint32_t got = 0;
  if (ReadSectors(count, reader, into, step.first, bytesPerSector, got) == kOk) return true;
  // A bad sector, or an MFT that runs past the end of the medium, costs
  // only the records it holds.
  for (uint32_t k = 0; k < count; ++k) {
    uint8_t* sector = into + size_t(k) * bytesPerSector;
    if (ReadSectors(1, reader, sector, step.first + k, bytesPerSector, got) != kOk)
      std::memset(sector, 0, bytesPerSector);
  }
  return false;
}

}  // namespace brinvale
