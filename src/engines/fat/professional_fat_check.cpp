// The verdicts of the formatted engine's finds, checked on demand over the
// consecutive clusters recovery reads.
#include <algorithm>
#include <utility>

#include "common/error_codes.h"
#include "deepscan/found_file_check.h"
#include "engines/fat/professional_fat_recovery.h"

namespace brinvale {

bool CProfessionalFatRecovery::DataExtents(const ScanRecord& record, FileExtentMap& map) {
  map.clear();
  const uint32_t clusterBytes = record.ClusterBytes();
  const uint64_t total = record.FileSize();
  if (total == 0) return true;
  if (!m_open || clusterBytes > kMaxClusterBytes || clusterBytes == 0 ||
      clusterBytes % m_bytesPerSector != 0)
    return false;
  const uint64_t first = record.EntryKey();
  if (first < 2) return false;  // names no data
  // As CopyData: consecutive clusters from the first, cut at the end of
  // the volume.
  const uint64_t sectorsPerCluster = clusterBytes / m_bytesPerSector;
  const uint64_t sector = record.PartitionStart() + record.FirstDataSector() +
                          (first - 2) * sectorsPerCluster;
  const uint64_t end = VolumeEnd();
  if (sector >= end) return false;
  const uint64_t there = (end - sector) > UINT64_MAX / m_bytesPerSector
                             ? UINT64_MAX
                             : (end - sector) * m_bytesPerSector;
  AppendExtent(map, sector, std::min(total, there), false, m_bytesPerSector);
  return true;
}

CarvedVerdict CProfessionalFatRecovery::CarvedVerdictOf(const ScanRecord& record) {
  if (record.Engine() != kEngineCode || !HasFoundFileCheck(record)) return {};
  return m_verdicts.FindOrCheck(record, m_open, [&] {
    FileExtentMap map;
    if (!DataExtents(record, map)) return DamagedVerdict(CarvedFault::kUnreadable);
    return CheckFoundFileOn(record, m_reader, m_bytesPerSector, std::move(map));
  });
}

}  // namespace brinvale
