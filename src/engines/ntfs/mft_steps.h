#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "device/sector_reader.h"
#include "engines/ntfs/ntfs_volume.h"
#include "engines/ntfs/run_list.h"

// The record pass reads the MFT run by run, in steps that fill a batch of
// records. Where each step starts, how long it is and what it carries over
// follows from the run list alone, so the steps can be laid out before the
// first read and read ahead on another thread.
namespace brinvale {

struct MftStep {
  uint64_t first = 0;        // absolute sector of the step's first sector
  uint64_t sectors = 0;      // sectors read; for a sparse run, the run's sectors
  bool sparse = false;       // a sparse run: no clusters, nothing to read
  uint64_t firstRecord = 0;  // the number of the record at the batch's front
  size_t carry = 0;          // bytes of the step before at the batch's front
};

// The steps over `runs` (placed $MFT runs) with a batch of `batchBytes`
// bytes (at least one record). The sectors of a read step go into the
// batch after its carry; the records it then holds are the batch's whole
// records. A run the volume cannot hold ends the steps, as it ends the
// pass.
std::vector<MftStep> PlanMftSteps(const NtfsVolume& volume, std::span<const PlacedRun> runs,
                                  size_t batchBytes);

// Reads step `step` into `into` (step.sectors x bytes per sector). A read
// that fails is read again sector by sector, and a sector that still
// cannot be read is left as zeros, which no record passes. Returns whether
// every sector arrived.
bool ReadMftStep(SectorReader& reader, uint32_t bytesPerSector, const MftStep& step,
                 uint8_t* into);

}  // namespace brinvale
