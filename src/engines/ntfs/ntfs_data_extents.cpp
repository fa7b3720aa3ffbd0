#include "engines/ntfs/ntfs_data_extents.h"

#include <algorithm>

#include "common/error_codes.h"
#include "engines/ntfs/attribute_runs.h"
#include "engines/ntfs/ntfs_layout.h"
#include "engines/ntfs/resident_data.h"
#include "engines/ntfs/run_list.h"

namespace brinvale {

int NtfsDataExtents(const NtfsVolume& volume, SectorReader& reader, const ScanRecord& record,
                    NtfsFileData& out) {
  out = NtfsFileData{};
  if (!reader.IsOpen()) return kErrInvalidHandle;
  const uint32_t bps = volume.bytesPerSector;
  const uint64_t size = record.FileSize();
  int rc = ReadResidentData(volume, reader, record.MetadataSector(), out.value);
  if (rc == kOk) {
    out.resident = true;
    out.value.resize(size_t(std::min<uint64_t>(size, out.value.size())));
    return kOk;
  }
  if (rc != ntfs::kNotResidentData) return rc < 0 ? kErrReadFault : rc;
  if (size == 0) return kOk;
  RunList runs;
  rc = FindAttributeRuns(volume, reader, record.MetadataSector(), ntfs::kTypeData, runs);
  if (rc != kOk) return rc < 0 ? kErrReadFault : rc;
  std::vector<PlacedRun> placed;
  PlaceRuns(runs, placed);
  const uint64_t clusterBytes = record.ClusterBytes();
  if (bps == 0 || clusterBytes == 0 || clusterBytes % bps != 0) return kErrInvalidParameter;
  uint64_t remaining = size;
  for (const PlacedRun& run : placed) {
    if (remaining == 0) break;
    uint64_t runBytes = 0, runSector = 0;
    if (__builtin_mul_overflow(clusterBytes, run.clusterCount, &runBytes)) runBytes = UINT64_MAX;
    if (!run.sparse && (__builtin_mul_overflow(clusterBytes / bps, run.startCluster, &runSector) ||
                        __builtin_add_overflow(runSector, record.PartitionStart(), &runSector)))
      return kErrReadFault;
    const uint64_t take = std::min(runBytes, remaining);
    AppendExtent(out.extents, runSector, take, run.sparse, bps);
    remaining -= take;
  }
  return kOk;
}

}  // namespace brinvale
