// The quick FAT engine's map of allocated clusters, which lets a later
// content scan keep to free space.
#include <algorithm>

#include "common/error_codes.h"
#include "engines/fat/fast_fat_recovery.h"

namespace brinvale {

int CFastFatRecovery::BuildAllocationMap() {
  m_haveBitmap = false;
  if (!m_open) return kOk;
  const FatGeometry& g = *m_geometry;
  // Clusters past the end of the medium hold nothing and are not mapped.
  const uint64_t volume = VolumeSectors();
  const uint64_t onMedium =
      volume > g.firstDataSector ? (volume - g.firstDataSector) / g.sectorsPerCluster : 0;
  const uint64_t clusters = std::min<uint64_t>(g.clusterCount, onMedium);
  m_bitmapClusters = clusters;
  try {
    m_bitmap.assign(size_t((clusters + 7) / 8), 0);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
  auto mark = [&](uint64_t cluster) {
    const uint64_t bit = cluster - 2;
    m_bitmap[size_t(bit / 8)] |= uint8_t(1u << (bit % 8));
  };
  // Clusters 2 .. clusterCount + 1 hold data; an entry that cannot be read
  // leaves its cluster free.
  for (uint64_t cluster = 2; cluster < clusters + 2; ++cluster) {
    uint32_t value = 0;
    if (m_fat->ReadEntry(cluster, value) != kOk || value == 0) continue;
    mark(cluster);
    const uint32_t link = g.IsFat32() ? value & 0x0FFFFFFF : value;
    // A link to a cluster the volume does not have is ignored; it does
    // not end the map.
    if (!m_fat->IsEndMark(value) && link >= 2 && link < clusters + 2) mark(link);
  }
  m_haveBitmap = true;
  return kOk;
}

int CFastFatRecovery::NextFreeRange(uint64_t& start, uint64_t& length) {
  length = 0;
  if (!m_open) return 0;
  if (!m_haveBitmap) {
    if (BuildAllocationMap() != kOk || !m_haveBitmap) return 0;
  }
  const FatGeometry& g = *m_geometry;
  const uint64_t total = VolumeSectors();
  if (start >= total) {
    start = total;
    return 1;
  }
  const uint64_t clusters = m_bitmapClusters;
  auto isUsed = [&](uint64_t index) { return (m_bitmap[size_t(index / 8)] >> (index % 8)) & 1; };
  // The system area before cluster 2 is never free.
  uint64_t index =
      start < g.firstDataSector ? 0 : (start - g.firstDataSector) / g.sectorsPerCluster;
  while (index < clusters && isUsed(index)) ++index;
  const uint64_t first = g.firstDataSector + index * g.sectorsPerCluster;
  if (index >= clusters || first >= total) {
    start = total;
    return 1;
  }
  uint64_t run = 0;
  while (index + run < clusters && !isUsed(index + run)) ++run;
  start = first;
  length = std::min(run * g.sectorsPerCluster, total - first);
  return 1;
}

}  // namespace brinvale
