#pragma once

#include "device/sector_reader.h"
#include "engines/ntfs/ntfs_volume.h"
#include "results/carved_condition.h"
#include "results/scan_record.h"

// The check of a found NTFS file, shared by the NTFS engines.
namespace brinvale {

// CheckFoundFile over the data of `record` as NtfsDataExtents places it:
// the resident value in memory, or the runs on the medium. A record that no
// longer leads to its data, or cannot be read, gives kDamaged with
// kUnreadable. Borrows everything. Never throws but std::bad_alloc.
CarvedVerdict CheckNtfsFile(const NtfsVolume& volume, SectorReader& reader,
                            const ScanRecord& record);

}  // namespace brinvale
