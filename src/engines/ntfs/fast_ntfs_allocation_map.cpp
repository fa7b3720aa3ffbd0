// The volume's $Bitmap as a map of free clusters.
#include <algorithm>
#include <cstring>
#include <new>

#include "common/error_codes.h"
#include "engines/ntfs/attribute_runs.h"
#include "engines/ntfs/fast_ntfs_recovery.h"
#include "engines/ntfs/ntfs_layout.h"
#include "engines/ntfs/record_to_sector.h"
#include "engines/ntfs/resident_data.h"

namespace brinvale {
namespace {

constexpr uint64_t kBitmapRecord = 6;

bool ClusterInUse(std::span<const uint8_t> map, uint64_t cluster) {
  return (map[cluster / 8] >> (cluster % 8) & 1) != 0;
}

}  // namespace

int CFastNtfsRecovery::BuildAllocationMap() {
  try {
    m_map.clear();
    const uint32_t spc = m_volume.sectorsPerCluster;
    const uint32_t bps = m_volume.bytesPerSector;
    if (!m_reader.IsOpen() || spc == 0) return kErrInvalidHandle;
    uint64_t recordSector = 0;
    if (int rc = RecordToSector(m_volume, kBitmapRecord, recordSector); rc != kOk) return rc;
    RunList runs;
    if (int rc = FindAttributeRuns(m_volume, m_reader, recordSector, ntfs::kTypeData, runs);
        rc != kOk)
      return rc < 0 ? kErrReadFault : rc;
    uint64_t length = 0;
    if (int rc = ReadDataSize(m_volume, m_reader, recordSector, length); rc != kOk)
      return rc < 0 ? kErrReadFault : rc;
    // The map never needs more than one bit per cluster of the volume.
    const uint64_t volumeClusters = m_volume.sectorCount / spc;
    const uint64_t needed = volumeClusters / 8 + 1;
    const uint64_t clusterBytes = m_volume.ClusterBytes();
    uint64_t capacity = 0;
    for (const DataRun& run : runs) {
      if (run.clusterCount > (needed + clusterBytes) / clusterBytes + 1)
        return kErrInvalidParameter;
      capacity += run.clusterCount * clusterBytes;
      if (capacity > needed + clusterBytes) return kErrInvalidParameter;
    }
    length = std::min(length, capacity);
    std::vector<uint8_t> map(size_t(capacity), 0);
    std::vector<PlacedRun> placed;
    PlaceRuns(runs, placed);
    uint64_t offset = 0;
    for (const PlacedRun& run : placed) {
      const uint64_t bytes = run.clusterCount * clusterBytes;
      if (!run.sparse) {
        const uint64_t sector = m_volume.startSector + run.startCluster * spc;
        uint32_t got = 0;
        if (int rc =
                ReadSectors(uint32_t(bytes / bps), m_reader, map.data() + offset, sector, bps, got);
            rc != kOk)
          return rc;
      }
      offset += bytes;
    }
    map.resize(size_t(length));
    m_map = std::move(map);
    return kOk;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int CFastNtfsRecovery::NextFreeRange(uint64_t& start, uint64_t& length) {
  length = 0;
  const uint64_t sectorCount = m_volume.sectorCount;
  const uint32_t spc = m_volume.sectorsPerCluster;
  if (start > sectorCount || spc == 0) {
    start = std::min(start, sectorCount);
    return 1;
  }
  const uint64_t mapBits = uint64_t(m_map.size()) * 8;
  uint64_t cluster = start / spc;
  if (cluster >= mapBits) return 1;  // nothing is known past the map
  const uint64_t first = cluster;
  while (cluster < mapBits && ClusterInUse(m_map, cluster)) {
    if (cluster % 8 == 0 && m_map[cluster / 8] == 0xFF)
      cluster += 8;
    else
      ++cluster;
  }
  if (cluster >= mapBits) {
    // Only used clusters follow: nothing free is left after `start`, so the
    // caller is moved to the end rather than asked again from the same place.
    start = sectorCount;
    return 1;
  }
  start += (cluster - first) * spc;
  uint64_t end = cluster;
  while (end < mapBits && !ClusterInUse(m_map, end)) {
    if (end % 8 == 0 && m_map[end / 8] == 0x00 && end + 8 <= mapBits)
      end += 8;
    else
      ++end;
  }
  length = (end - cluster) * spc;
  if (start >= sectorCount)
    length = 0;
  else if (length > sectorCount - start)
    length = sectorCount - start;
  return 1;
}

}  // namespace brinvale
