// The verdicts of the quick engine's finds, checked on demand over the
// clusters recovery reads.
#include <algorithm>
#include <utility>

#include "common/error_codes.h"
#include "deepscan/found_file_check.h"
#include "engines/fat/fast_fat_recovery.h"

namespace brinvale {

bool CFastFatRecovery::DataExtents(const ScanRecord& record, FileExtentMap& map) {
  map.clear();
  const uint32_t clusterBytes = record.ClusterBytes();
  const uint64_t total = record.FileSize();
  if (total == 0) return true;
  if (!m_open || !m_fat || clusterBytes > kMaxClusterBytes || clusterBytes == 0 ||
      clusterBytes % m_bps != 0)
    return false;
  const uint32_t sectorsPerCluster = clusterBytes / m_bps;
  uint32_t cluster = record.EntryKey();
  if (!IsValidCluster(cluster)) return false;
  uint64_t done = 0;
  // As CopyData: the chain (through free clusters for a deleted file) up to
  // the size; a looping chain cannot run longer than the volume has
  // clusters, and the data ends where the chain does.
  for (uint64_t step = 0; step <= m_geometry->clusterCount; ++step) {
    const uint64_t sector = record.PartitionStart() + record.FirstDataSector() +
                            uint64_t(cluster - 2) * sectorsPerCluster;
    const uint64_t take = std::min<uint64_t>(total - done, clusterBytes);
    AppendExtent(map, sector, take, false, m_bps);
    done += take;
    if (done == total) break;
    const auto next = m_fat->NextCluster(cluster);
    if (!next) break;
    cluster = *next;
  }
  return true;
}

CarvedVerdict CFastFatRecovery::CarvedVerdictOf(const ScanRecord& record) {
  if (record.Engine() != kEngineCode || !HasFoundFileCheck(record)) return {};
  return m_verdicts.FindOrCheck(record, m_open, [&] {
    FileExtentMap map;
    if (!DataExtents(record, map)) return DamagedVerdict(CarvedFault::kUnreadable);
    return CheckFoundFileOn(record, m_reader, m_bps, std::move(map));
  });
}

}  // namespace brinvale
