#pragma once

#include <cstdint>
#include <vector>

#include "deepscan/file_extent_map.h"
#include "device/sector_reader.h"
#include "engines/ntfs/ntfs_volume.h"
#include "results/scan_record.h"

// Where a found NTFS file's data lies, exactly as CopyNtfsFileData reads
// it, so that the file can be checked without being copied out.
namespace brinvale {

struct NtfsFileData {
  bool resident = false;
  std::vector<uint8_t> value;  // resident: the value, cut to the file size
  FileExtentMap extents;       // not resident: the runs, cut to the file size
};

// Reads the record of `record` (log offset 70) and fills `out`: its
// resident value, or the stretches of every run of its unnamed $DATA
// (sparse runs as zeros) placed from offset 78 with the cluster size at 26,
// up to the logged file size. Runs that end before the size leave the
// extents shorter than it. Borrows everything. Returns 0, 30 when the
// record no longer leads to the data, 87 for a cluster size that does not
// fit the sectors, or the read's error.
int NtfsDataExtents(const NtfsVolume& volume, SectorReader& reader, const ScanRecord& record,
                    NtfsFileData& out);

}  // namespace brinvale
