#include "engines/ntfs/record_to_sector.h"

#include "common/error_codes.h"

namespace brinvale {

int RecordToSector(const NtfsVolume& volume, uint64_t recordNumber, uint64_t& sector) {
  uint64_t target = 0;
  if (volume.sectorsPerCluster == 0 ||
      __builtin_mul_overflow(recordNumber, uint64_t(volume.sectorsPerRecord), &target))
    return kErrInvalidParameter;
  uint64_t before = 0;  // MFT sectors in the runs already passed
  int64_t lcn = 0;
  for (const DataRun& run : volume.mftRuns) {
    if (!run.sparse && __builtin_add_overflow(lcn, run.clusterDelta, &lcn))
      return kErrInvalidParameter;
    uint64_t runSectors = 0;
    if (__builtin_mul_overflow(run.clusterCount, uint64_t(volume.sectorsPerCluster), &runSectors))
      return kErrInvalidParameter;
    if (target - before < runSectors) {
      const uint64_t within = target - before;
      if (run.sparse || lcn < 0 || runSectors - within < volume.sectorsPerRecord)
        return kErrInvalidParameter;
      uint64_t at = 0;
      if (__builtin_mul_overflow(uint64_t(lcn), uint64_t(volume.sectorsPerCluster), &at) ||
          __builtin_add_overflow(at, volume.startSector, &at) ||
          __builtin_add_overflow(at, within, &at))
        return kErrInvalidParameter;
      sector = at;
      return kOk;
    }
    if (__builtin_add_overflow(before, runSectors, &before)) return kErrInvalidParameter;
  }
  return kErrInvalidParameter;
}

}  // namespace brinvale
