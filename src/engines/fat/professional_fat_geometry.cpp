// The old cluster layouts of a formatted FAT volume: from its boot sector
// when it still has one, from pairs of "." sightings otherwise, and where
// a cluster lies under each.
#include <algorithm>

#include "common/error_codes.h"
#include "engines/fat/fat_boot_sector.h"
#include "engines/fat/professional_fat_recovery.h"
#include "engines/fat/professional_fat_state.h"
#include "engines/volume_recognition.h"

namespace brinvale {
namespace {

constexpr uint32_t kBootBytes = 4096;
constexpr uint32_t kLearntRootSectors = 32;
constexpr uint32_t kMaxLearntSectorsPerCluster = 128;

uint64_t Cluster2(const ClusterGeometry& g) { return g.partitionStart + g.dataStart; }

}  // namespace

int CProfessionalFatRecovery::BootGeometryAt(uint64_t start, std::optional<ClusterGeometry>& out,
                                             uint32_t& rootCluster, uint32_t& rootSectors) {
  out.reset();
  if (!m_open) return m_openResult != kOk ? m_openResult : kErrInvalidHandle;
  const uint64_t end = VolumeEnd();
  if (start >= end) return kErrInvalidParameter;
  // 4,096 bytes, or the whole volume when it is shorter.
  const uint64_t count =
      std::min<uint64_t>(std::max<uint32_t>(kBootBytes / m_bytesPerSector, 1), end - start);
  std::vector<uint8_t> boot;
  if (int rc = ReadAbsolute(start, uint32_t(count), boot); rc != kOk) return rc;
  if (!IsFatBootSector(boot)) return kOk;
  const std::optional<FatGeometry> fat = ParseFatBootSector(boot);
  if (!fat) return kOk;
  // The boot sector counts in its own sector size; the engine in the
  // medium's. A sector size that is no whole multiple gives no layout.
  if (fat->bytesPerSector < m_bytesPerSector || fat->bytesPerSector % m_bytesPerSector != 0)
    return kOk;
  const uint64_t scale = fat->bytesPerSector / m_bytesPerSector;
  const uint64_t dataStart = fat->firstDataSector * scale;
  const uint64_t rootDirSectors = fat->rootDirSectors * scale;
  if (dataStart > UINT32_MAX || rootDirSectors > UINT32_MAX) return kOk;
  ClusterGeometry g;
  g.sectorsPerCluster = uint32_t(fat->sectorsPerCluster * scale);
  g.dataStart = uint32_t(dataStart);
  g.partitionStart = start;
  out = g;
  rootCluster = fat->IsFat32() ? fat->rootCluster : 0;
  rootSectors = fat->IsFat32() ? 0 : uint32_t(rootDirSectors);
  return kOk;
}

int CProfessionalFatRecovery::ReadBootGeometry() {
  try {
    if (!m_open) return m_openResult != kOk ? m_openResult : kErrInvalidHandle;
    if (m_bootGeometry) return kOk;
    std::optional<ClusterGeometry> g;
    uint32_t rootCluster = 2, rootSectors = 0;
    if (int rc = BootGeometryAt(m_start, g, rootCluster, rootSectors); rc != kOk || !g) return rc;
    m_geometries.insert(m_geometries.begin(), *g);
    m_bootGeometry = true;
    m_rootCluster = rootCluster;
    m_state->bootRootSectors = rootSectors;
    return kOk;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int CProfessionalFatRecovery::AddPartitionGeometry(uint64_t start) {
  try {
    std::optional<ClusterGeometry> g;
    uint32_t rootCluster = 2, rootSectors = 0;
    if (int rc = BootGeometryAt(start, g, rootCluster, rootSectors); rc != kOk || !g) return rc;
    if (std::find(m_geometries.begin(), m_geometries.end(), *g) == m_geometries.end())
      m_geometries.push_back(*g);
    return kOk;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

uint32_t CProfessionalFatRecovery::RootSectors(const ClusterGeometry& g) const {
  if (m_bootGeometry && !m_geometries.empty() && g == m_geometries.front())
    return m_state->bootRootSectors;
  return kLearntRootSectors;
}

std::optional<uint64_t> CProfessionalFatRecovery::ClusterStart(uint64_t cluster,
                                                               const ClusterGeometry& g) const {
  const uint64_t start2 = Cluster2(g);
  if (cluster == 0) {
    const uint32_t root = RootSectors(g);
    if (root == 0 || start2 < root) return std::nullopt;
    return start2 - root;
  }
  if (cluster == 1 || g.sectorsPerCluster == 0) return std::nullopt;
  return start2 + (cluster - 2) * uint64_t(g.sectorsPerCluster);
}

std::optional<uint32_t> CProfessionalFatRecovery::ClusterStartingAt(
    uint64_t sector, const ClusterGeometry& g) const {
  if (g.sectorsPerCluster == 0) return std::nullopt;
  const uint64_t start2 = Cluster2(g);
  if (sector >= start2) {
    const uint64_t distance = sector - start2;
    if (distance % g.sectorsPerCluster != 0) return std::nullopt;
    const uint64_t cluster = distance / g.sectorsPerCluster + 2;
    if (cluster > UINT32_MAX) return std::nullopt;
    return uint32_t(cluster);
  }
  if (const auto root = ClusterStart(0, g); root && *root == sector) return 0u;
  return std::nullopt;
}

std::optional<uint32_t> CProfessionalFatRecovery::ClusterHolding(uint64_t sector,
                                                                 const ClusterGeometry& g) const {
  if (g.sectorsPerCluster == 0) return std::nullopt;
  const uint64_t start2 = Cluster2(g);
  if (sector >= start2) {
    const uint64_t cluster = (sector - start2) / g.sectorsPerCluster + 2;
    if (cluster > UINT32_MAX) return std::nullopt;
    return uint32_t(cluster);
  }
  if (const auto root = ClusterStart(0, g); root && sector >= *root) return 0u;
  return std::nullopt;
}

uint32_t CProfessionalFatRecovery::ClusterLength(uint32_t cluster, const ClusterGeometry& g) const {
  return cluster == 0 ? RootSectors(g) : g.sectorsPerCluster;
}

std::optional<ClusterGeometry> CProfessionalFatRecovery::GeometryPlacing(uint32_t cluster,
                                                                         uint64_t sector) const {
  if (cluster < 2) return std::nullopt;
  for (const ClusterGeometry& g : m_geometries)
    if (const auto at = ClusterStart(cluster, g); at && *at == sector) return g;
  return std::nullopt;
}

void CProfessionalFatRecovery::LearnGeometry(uint32_t cluster, uint64_t sector) {
  State& state = *m_state;
  if (cluster < 2) return;
  for (const auto& [other, otherSector] : state.sightings) {
    if (other == cluster) continue;
    // The larger cluster goes with the later sector, whichever sighting
    // each came from.
    const uint64_t c1 = std::max(cluster, other), c2 = std::min(cluster, other);
    const uint64_t s1 = std::max(sector, otherSector), s2 = std::min(sector, otherSector);
    const uint64_t span = s1 - s2, clusters = c1 - c2;
    if (span % clusters != 0) continue;
    const uint64_t factor = span / clusters;
    if (factor == 0 || factor > kMaxLearntSectorsPerCluster || (factor & (factor - 1)) != 0)
      continue;
    // Cluster 2 must lie inside the volume, and the two sightings must
    // agree on where (the larger cluster really lies later).
    if (s2 < factor * (c2 - 2) || s1 < factor * (c1 - 2)) continue;
    const uint64_t start2 = s2 - factor * (c2 - 2);
    if (start2 != s1 - factor * (c1 - 2)) continue;
    if ((cluster > other) != (sector > otherSector)) continue;
    if (start2 < m_start || start2 - m_start > UINT32_MAX) continue;
    ClusterGeometry g;
    g.sectorsPerCluster = uint32_t(factor);
    g.dataStart = uint32_t(start2 - m_start);
    g.partitionStart = m_start;
    if (std::find(m_geometries.begin(), m_geometries.end(), g) == m_geometries.end())
      m_geometries.push_back(g);
    break;
  }
  if (state.sightings.size() < State::kMaxSightings) state.sightings.emplace_back(cluster, sector);
}

std::optional<ClusterGeometry> CProfessionalFatRecovery::NearestGeometry(uint64_t sector) const {
  if (m_geometries.empty()) return std::nullopt;
  if (m_geometries.size() == 1) return m_geometries.front();
  const ClusterGeometry* best = nullptr;
  for (size_t i = m_bootGeometry ? 1 : 0; i < m_geometries.size(); ++i) {
    const ClusterGeometry& g = m_geometries[i];
    const uint64_t start2 = Cluster2(g);
    if (start2 > sector) continue;
    if (best == nullptr || start2 > Cluster2(*best)) best = &g;
  }
  return best != nullptr ? *best : m_geometries.front();
}

}  // namespace brinvale
