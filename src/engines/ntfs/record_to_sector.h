#pragma once

#include <cstdint>

#include "engines/ntfs/ntfs_volume.h"

namespace brinvale {

// The absolute sector of MFT record `recordNumber`, found by walking
// `volume.mftRuns`: the record's first MFT sector (record number x sectors
// per record) lies in the run that covers it, at volume start + that run's
// start cluster x sectors per cluster + the sectors before it in the run.
// Returns 0 with `sector` set, or 87 (`sector` untouched) when no run
// covers the whole record: a number past the MFT, a record split over two
// runs, a sparse run, or arithmetic that would leave 64 bits.
int RecordToSector(const NtfsVolume& volume, uint64_t recordNumber, uint64_t& sector);

}  // namespace brinvale
