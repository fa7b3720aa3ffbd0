// The formatted-FAT engine's bookkeeping of what a pass found: files that
// wait for their directory to be placed, the directories above found
// files, and the folder records written when the pass is over.
#include <set>

#include "common/error_codes.h"
#include "engines/fat/professional_fat_recovery.h"
#include "engines/fat/professional_fat_state.h"

namespace brinvale {

void CProfessionalFatRecovery::PlacePendingFiles() {
  State& st = *m_state;
  const size_t files = st.pendingFiles.size();
  const size_t geometries = m_geometries.size();
  for (size_t i = 0; i < files; ++i) {
    ProFatPendingFile& file = st.pendingFiles[i];
    if (file.written) continue;
    // A file tried before has only the geometries learnt since to try.
    for (size_t k = i < st.filesTried ? st.geometriesTried : 0; k < geometries; ++k) {
      const ClusterGeometry& g = m_geometries[k];
      const auto at = ClusterStart(file.directory, g);
      if (!at || *at != file.position) continue;
      WriteFile(file.record, file.directory, g);
      file.written = true;
      break;
    }
  }
  st.filesTried = files;
  st.geometriesTried = geometries;
}

void CProfessionalFatRecovery::NoteSeenDirectories(uint32_t directory, const ClusterGeometry* g,
                                                   uint64_t sector) {
  State& st = *m_state;
  // The files of one directory come one after another: the walk is the
  // same as the last one unless a folder entry came in since.
  const auto call = std::make_tuple(directory, g != nullptr ? g->sectorsPerCluster : 0,
                                    g != nullptr ? g->partitionStart + g->dataStart : 0, sector,
                                    st.folderChanges);
  if (st.lastNoted == call) return;
  st.lastNoted = call;
  std::set<uint32_t> visited;
  uint32_t v = directory;
  std::optional<ClusterGeometry> geometry;
  if (g != nullptr) geometry = *g;
  for (uint32_t step = 0; step < State::kMaxSteps; ++step) {
    if (v < 2 || v == m_rootCluster || !visited.insert(v).second) return;
    // The quick engine has the folder and every folder above it.
    if (IsQuickFolder(v, geometry ? &*geometry : nullptr)) return;
    auto [seen, inserted] = st.seen.try_emplace(v, ProFatSeenDirectory{geometry, sector});
    if (!inserted && !seen->second.geometry && geometry)
      seen->second = ProFatSeenDirectory{geometry, sector};
    if (auto folder = st.pendingFolders.find(v); folder != st.pendingFolders.end()) {
      // The entry lies in the parent's cluster, under the geometry of then.
      v = folder->second.parent;
      geometry = folder->second.geometry;
      sector = folder->second.sector;
      continue;
    }
    if (!geometry) return;
    uint32_t parent = 0;
    if (DirectoryParent(v, &*geometry, parent) != kOk || parent == v) return;
    if (const auto at = ClusterStart(parent, *geometry)) sector = *at;
    v = parent;
  }
}

void CProfessionalFatRecovery::ProcessKeptSectors() {
  State& st = *m_state;
  std::optional<ProFatExtent> finishing;
  for (auto& [sector, kept] : st.kept) {
    if (kept.used || kept.bytes.empty()) continue;
    kept.used = true;
    const std::span<const uint8_t> data = kept.bytes;
    const uint64_t last = sector + (data.size() - 1) / m_bytesPerSector;
    // A sector that completes an open long-name run.
    if (ContinueOpenRuns(data, sector)) continue;
    NameCut cut;
    // A sector that starts a cluster: its files wait for PlacePendingFiles.
    bool done = false;
    for (const ClusterGeometry& g : m_geometries) {
      const auto cluster = ClusterStartingAt(sector, g);
      if (!cluster) continue;
      const Placement where{sector, sector, SIZE_MAX, 0};
      ProcessEntries(data, *cluster, nullptr, where, cut);
      if (cut.cut) KeepNameRun(data, cut, where, last, g.sectorsPerCluster);
      finishing = ProFatExtent{g, *cluster, sector, *cluster, sector, ClusterLength(*cluster, g)};
      done = true;
      break;
    }
    if (done) continue;
    // A sector inside the cluster started last.
    if (finishing && ExtentTakes(*finishing, sector)) {
      const ProFatExtent extent = *finishing;
      const Placement where{extent.directoryStart, sector, SIZE_MAX, 0};
      ProcessEntries(data, extent.directory, &extent.geometry, where, cut);
      if (cut.cut) KeepNameRun(data, cut, where, last, extent.geometry.sectorsPerCluster);
      continue;
    }
    // Else the cluster that holds it under the nearest layout.
    const std::optional<ClusterGeometry> g = NearestGeometry(sector);
    if (!g) continue;
    const auto cluster = ClusterHolding(sector, *g);
    if (!cluster) continue;
    const auto at = ClusterStart(*cluster, *g);
    if (!at) continue;
    const Placement where{*at, sector, SIZE_MAX, 0};
    ProcessEntries(data, *cluster, &*g, where, cut);
    if (cut.cut) KeepNameRun(data, cut, where, last, g->sectorsPerCluster);
  }
  st.kept.clear();
  st.keptBytes = 0;
}

void CProfessionalFatRecovery::WriteFolders() {
  State& st = *m_state;
  if (!m_store || !m_store->IsOpen()) return;
  // Every folder entry is listed under its parent, also one with no found
  // file below it (an empty folder, or one whose clusters were lost).
  for (const auto& [cluster, entry] : st.pendingFolders)
    if (!st.seen.count(cluster) && !ListedByQuick(entry.record) &&
        !IsQuickFolder(cluster, entry.geometry ? &*entry.geometry : nullptr))
      st.seen.emplace(cluster, ProFatSeenDirectory{entry.geometry, entry.sector});
  // A folder entry met after the walks went past its folder may name
  // another parent than the folder's ".." did: note that one too, so
  // that the folder is filed under a folder that has a record.
  std::vector<ProFatPendingFolder> parents;
  for (const auto& [cluster, seen] : st.seen)
    if (auto folder = st.pendingFolders.find(cluster); folder != st.pendingFolders.end())
      parents.push_back(folder->second);
  for (const ProFatPendingFolder& entry : parents)
    NoteSeenDirectories(entry.parent, entry.geometry ? &*entry.geometry : nullptr, entry.sector);
  for (const auto& [cluster, seen] : st.seen) {
    const auto folder = st.pendingFolders.find(cluster);
    if (folder != st.pendingFolders.end()) {
      const ProFatPendingFolder& entry = folder->second;
      // The layout of the parent's directory: the one the entry was read
      // with, else one that puts the entry inside the parent's cluster,
      // else the nearest.
      std::optional<ClusterGeometry> g = entry.geometry;
      for (size_t k = 0; !g && k < m_geometries.size(); ++k)
        if (ClusterHolding(entry.sector, m_geometries[k]) == entry.parent) g = m_geometries[k];
      if (!g) g = NearestGeometry(entry.sector);
      if (!g) continue;
      // A folder the quick engine listed has its record there.
      if (ListedByQuick(entry.record) || IsQuickFolder(cluster, &*g)) continue;
      ScanRecord record = entry.record;
      record.SetPartitionStart(g->partitionStart);
      const uint32_t number = m_store->AppendRecord(record);
      m_store->AddRelation(FolderKey(entry.parent, &*g), number, cluster, record.Name());
      continue;
    }
    std::optional<ClusterGeometry> g = seen.geometry;
    for (size_t k = 0; !g && k < m_geometries.size(); ++k)
      if (ClusterHolding(seen.sector, m_geometries[k]) == cluster) g = m_geometries[k];
    if (!g || IsQuickFolder(cluster, &*g)) continue;
    uint32_t parent = m_rootCluster;
    if (DirectoryParent(cluster, &*g, parent) != kOk || parent == cluster) parent = m_rootCluster;
    ScanRecord record;
    record.SetSourceKey(m_sourceKey);
    record.SetEngine(kEngineCode);
    record.SetIsFolder(true);
    record.SetDeleted(1);
    record.SetContentCheck(1);
    record.SetEntryKey(cluster);
    record.SetPartitionStart(g->partitionStart);
    const std::string name = "LostFolder" + std::to_string(cluster);
    record.SetName(name);
    const uint32_t number = m_store->AppendRecord(record);
    m_store->AddRelation(FolderKey(parent, &*g), number, cluster, name);
  }
  st.seen.clear();
  st.pendingFolders.clear();
  ++st.folderChanges;
}

int CProfessionalFatRecovery::FinishFatScan() {
  State& st = *m_state;
  int result = kOk;
  try {
    ProcessKeptSectors();
    WriteFolders();
    PlacePendingFiles();
    for (ProFatPendingFile& file : st.pendingFiles) {
      if (file.written) continue;
      const std::optional<ClusterGeometry> g = NearestGeometry(file.position);
      if (!g) continue;
      WriteFile(file.record, file.directory, *g);
      file.written = true;
    }
  } catch (const std::bad_alloc&) {
    result = kErrOutOfMemory;
  }
  st.pendingFiles.clear();
  st.filesTried = 0;
  st.geometriesTried = 0;
  st.runs.clear();
  st.current.reset();
  st.kept.clear();
  st.keptBytes = 0;
  if (!m_store || !m_store->IsOpen()) return result;
  const int flushed = m_store->FlushLog();
  return result != kOk ? result : flushed;
}

}  // namespace brinvale
