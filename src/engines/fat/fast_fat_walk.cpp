// The folder walk of the quick FAT engine: reading folders, naming their
// entries, logging what was deleted and the folders that lead to it.
#include <unordered_set>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "deepscan/fat_directory_tests.h"
#include "deepscan/fat_entry_times.h"
#include "deepscan/file_type_table.h"
#include "deepscan/sizing_context.h"
#include "engines/fat/fast_fat_recovery.h"
#include "engines/fat/fat_entry_layout.h"
#include "engines/fat/fat_high_word_probe.h"
#include "engines/fat/fat_names.h"
#include "results/file_categories.h"

namespace brinvale {

using namespace fatdir;

struct CFastFatRecovery::WalkState {
  uint32_t folder = 0;   // the folder's first cluster (0: the FAT12/16 root)
  uint32_t deleted = 0;  // 1 when the folder is deleted or lies in a deleted one
  LongNameCollector names;
};

void CFastFatRecovery::WalkFolder(uint32_t folder) {
  const FatGeometry& g = *m_geometry;
  WalkState state;
  state.folder = folder;
  bool mustLookLikeFolder = false;
  if (auto found = m_found.find(folder); found != m_found.end()) {
    state.deleted = found->second.Deleted();
    mustLookLikeFolder = folder != g.rootCluster;
  }
  std::vector<uint8_t> bytes;
  if (!g.IsFat32() && folder == 0) {
    // The FAT12/16 root directory: as many sectors as its entries need,
    // just before cluster 2, and never more than that.
    if (g.rootDirSectors == 0 || g.rootDirSectors > UINT32_MAX) return;
    const uint64_t first = StartSector() + g.RootDirStart();
    if (ReadVolumeSectors(first, uint32_t(g.rootDirSectors), bytes) != kOk) return;
    (void)WalkEntries(state, bytes, first);
    return;
  }
  // A looping chain ends the folder at the first cluster met twice.
  std::unordered_set<uint32_t> chain;
  uint32_t cluster = folder;
  for (uint64_t step = 0; step <= g.clusterCount; ++step) {
    const auto sector = ClusterSector(cluster);
    if (!sector || !chain.insert(cluster).second) return;
    if (ReadVolumeSectors(*sector, g.sectorsPerCluster, bytes) != kOk) return;
    if (mustLookLikeFolder) {
      // A found folder's first cluster must still hold its "." and "..";
      // otherwise it has been reused and holds something else.
      if (!IsDotDirectoryStart(bytes)) return;
      mustLookLikeFolder = false;
    }
    if (!WalkEntries(state, bytes, *sector)) return;
    const auto next = m_fat->NextCluster(cluster);
    if (!next || *next == cluster) return;
    cluster = *next;
  }
}

bool CFastFatRecovery::WalkEntries(WalkState& state, std::span<const uint8_t> bytes,
                                   uint64_t firstSector) {
  const FatGeometry& g = *m_geometry;
  for (size_t at = 0; at + kEntryBytes <= bytes.size(); at += kEntryBytes) {
    const auto entry = bytes.subspan(at, kEntryBytes);
    const uint64_t entrySector = firstSector + at / m_bps;
    if (entry[0] == 0) return false;  // the folder ends here
    if (!IsPlausibleEntry(bytes.subspan(at))) {
      state.names.Clear();
      continue;
    }
    const uint8_t attributes = entry[kAttributes];
    if (attributes == kAttrLongName) {
      state.names.AddPart(entry);
      continue;
    }
    const bool isFolder = (attributes & kAttrFolder) != 0;
    std::string name = state.names.Empty() ? std::string() : state.names.Name();
    state.names.Clear();
    if (name.empty()) name = ShortEntryName(entry, isFolder);
    if (attributes & kAttrLabel) continue;
    const bool deleted = entry[0] == kDeletedMark;

    if (isFolder) {
      // "." and ".." name this folder and its parent, not a child.
      if (entry[0] == '.') continue;
      const uint16_t low = LoadLe16(entry, kClusterLow);
      uint32_t high = g.IsFat32() ? LoadLe16(entry, kClusterHigh) : 0;
      if (g.IsFat32() && deleted && high == 0) high = GuessFolderHighWord(low);
      const uint32_t cluster = high << 16 | low;
      // The root is never a child; a folder naming itself or no data is
      // not followed.
      if (cluster == state.folder || cluster == g.rootCluster || !IsValidCluster(cluster)) continue;
      ScanRecord record;
      record.SetSourceKey(m_sourceKey);
      record.SetEngine(kEngineCode);
      record.SetIsFolder(true);
      record.SetDeleted(deleted || state.deleted ? 1 : 0);
      record.SetContentCheck(1);       // folders are never hidden as failed pictures
      record.SetNumber(state.folder);  // the parent, until the record is logged
      record.SetEntryKey(cluster);
      record.SetClusterBytes(g.BytesPerCluster());
      const FatFileTimes times = FatEntryTimes(entry);
      record.SetCreated(times.creation);
      record.SetAccessed(times.lastAccess);
      record.SetWritten(times.lastWrite);
      record.SetFileSize(0);
      record.SetFirstDataSector(g.firstDataSector);
      record.SetMetadataSector(entrySector);
      record.SetPartitionStart(StartSector());
      record.SetName(name);
      // A later entry for the same cluster replaces the earlier one, except
      // that a stale deleted entry never replaces a live folder's.
      auto [it, inserted] = m_found.try_emplace(cluster, record);
      if (!inserted && !(record.Deleted() && !it->second.Deleted())) it->second = record;
      m_queue.push_back(cluster);
    } else if (attributes & kAttrArchive) {
      if (deleted || state.deleted) LogFile(state, entry, name, entrySector);
    }
  }
  return true;
}

void CFastFatRecovery::LogFile(WalkState& state, std::span<const uint8_t> entry,
                               const std::string& name, uint64_t entrySector) {
  const FatGeometry& g = *m_geometry;
  const bool deleted = entry[0] == kDeletedMark;
  const uint16_t low = LoadLe16(entry, kClusterLow);
  const uint32_t size = LoadLe32(entry, kFileSize);
  const std::string extension = ExtensionOf(name);
  uint32_t high = g.IsFat32() ? LoadLe16(entry, kClusterHigh) : 0;
  if (g.IsFat32() && deleted && high == 0 && size != 0 && !extension.empty())
    high = GuessFileHighWord(low, extension);
  const uint32_t cluster = high << 16 | low;

  ScanRecord record;
  record.SetSourceKey(m_sourceKey);
  record.SetEngine(kEngineCode);
  record.SetIsFolder(false);
  record.SetDeleted(deleted || state.deleted ? 1 : 0);
  record.SetContentCheck(ContentCheck(cluster, extension));
  record.SetEntryKey(cluster);
  record.SetClusterBytes(g.BytesPerCluster());
  const FatFileTimes times = FatEntryTimes(entry);
  record.SetCreated(times.creation);
  record.SetAccessed(times.lastAccess);
  record.SetWritten(times.lastWrite);
  record.SetFileSize(size);
  record.SetFirstDataSector(g.firstDataSector);
  record.SetMetadataSector(entrySector);
  record.SetPartitionStart(StartSector());
  record.SetName(name);
  const uint32_t number = m_store->AppendRecord(record);
  m_store->AddRelation(FolderKey(state.folder), number);
  MarkPath(state.folder);
}

void CFastFatRecovery::MarkPath(uint32_t folder) {
  const uint32_t root = m_geometry->rootCluster;
  uint32_t current = folder;
  // Each pass adds a folder not added before, so a cycle of folders in
  // damaged directory data ends the climb.
  while (m_neededSet.insert(current).second) {
    m_needed.push_back(current);
    const auto found = m_found.find(current);
    if (found == m_found.end()) return;
    const uint32_t parent = found->second.Number();
    if (parent == current || parent == root || parent < 2) return;
    current = parent;
  }
}

void CFastFatRecovery::LogNeededFolders() {
  for (const uint32_t cluster : m_needed) {
    const auto found = m_found.find(cluster);
    if (found == m_found.end()) continue;
    const ScanRecord& record = found->second;
    const uint32_t parent = record.Number();
    const uint32_t number = m_store->AppendRecord(record);
    m_store->AddRelation(FolderKey(parent), number, cluster, record.Name());
  }
}

uint64_t CFastFatRecovery::FolderKey(uint32_t cluster) {
  return uint64_t(FolderDepth(cluster)) << 32 | cluster;
}

uint32_t CFastFatRecovery::FolderDepth(uint32_t cluster) {
  if (!m_geometry || cluster == m_geometry->rootCluster) return 0;
  if (auto known = m_depths.find(cluster); known != m_depths.end()) return known->second;
  const FatGeometry& g = *m_geometry;
  uint32_t depth = 0;
  std::unordered_set<uint32_t> seen{cluster};
  std::vector<uint8_t> sector;
  uint32_t current = cluster;
  // Each step climbs to a folder not seen before: a ".." cycle ends it.
  for (uint64_t step = 0; step <= g.clusterCount; ++step) {
    const auto at = ClusterSector(current);
    if (!at || ReadVolumeSectors(*at, 1, sector) != kOk) break;
    if (sector[kAttributes] == kAttrLabel || !IsDotDirectoryStart(sector)) break;
    ++depth;
    const uint32_t parent =
        (g.IsFat32() ? uint32_t(LoadLe16(sector, 32 + kClusterHigh)) << 16 : 0) |
        LoadLe16(sector, 32 + kClusterLow);
    if (parent == 0 || parent == g.rootCluster || !seen.insert(parent).second) break;
    current = parent;
  }
  m_depths.emplace(cluster, depth);
  return depth;
}

uint32_t CFastFatRecovery::ProbeHigh(uint16_t low, const CandidateTest& test) {
  if (!m_geometry) return 0;
  return ProbeHighWord(
      low, StartSector() + VolumeSectors(), [this](uint64_t c) { return ClusterSector(c); },
      [this](uint64_t at, std::vector<uint8_t>& out) { return ReadVolumeSectors(at, 1, out); },
      test);
}

uint32_t CFastFatRecovery::GuessFolderHighWord(uint16_t low) {
  return ProbeHigh(low,
                   [](std::span<const uint8_t> s, uint64_t) { return IsDotDirectoryStart(s); });
}

uint32_t CFastFatRecovery::GuessFileHighWord(uint16_t low, std::string_view extension) {
  if (extension.empty()) return 0;
  return ProbeHigh(low, [&](std::span<const uint8_t> s, uint64_t at) {
    return MatchesExtension(*m_sizing, s, extension, m_reader, m_bps, at) != 0;
  });
}

uint32_t CFastFatRecovery::ContentCheck(uint32_t cluster, std::string_view extension) {
  if (extension.empty()) return 1;
  const auto at = ClusterSector(cluster);
  std::vector<uint8_t> sector;
  if (!at || ReadVolumeSectors(*at, 1, sector) != kOk) return 1;
  return MatchesExtension(*m_sizing, sector, extension, m_reader, m_bps, *at) != 0 ? 1 : 0;
}

}  // namespace brinvale
