// The formatted-FAT engine's reading of directory sectors: placing each
// sector in a directory, walking its entries, and the ".." walks and
// probes that the entries need.
#include <algorithm>
#include <set>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "deepscan/fat_directory_tests.h"
#include "deepscan/fat_entry_times.h"
#include "deepscan/file_type_table.h"
#include "engines/fat/fat_entry_layout.h"
#include "engines/fat/fat_high_word_probe.h"
#include "engines/fat/fat_names.h"
#include "engines/fat/professional_fat_recovery.h"
#include "engines/fat/professional_fat_state.h"
#include "results/file_categories.h"

namespace brinvale {

using namespace fatdir;

namespace {

uint32_t EntryCluster(std::span<const uint8_t> entry) {
  return uint32_t(LoadLe16(entry, kClusterHigh)) << 16 | LoadLe16(entry, kClusterLow);
}

bool IsVolumeLabel(std::span<const uint8_t> entry) {
  const uint8_t a = entry[kAttributes];
  return a != kAttrLongName && (a & kAttrLabel) != 0;
}

SizingContext& Sizing(std::unique_ptr<SizingContext>& sizing) {
  if (!sizing) sizing = std::make_unique<SizingContext>();
  return *sizing;
}

ProFatDirectoryKey KeyOf(uint32_t cluster, const ClusterGeometry& g) {
  return {cluster, g.sectorsPerCluster, g.partitionStart + g.dataStart};
}

}  // namespace

bool ContinuesNameRun(const ProFatNameRun& run, std::span<const uint8_t> data, uint64_t sector) {
  if (data.size() < kEntryBytes || data[0] == 0) return false;
  const auto entry = data.first<kEntryBytes>();
  if (entry[kAttributes] == kAttrLongName) return entry[kChecksum] == run.checksum;
  if (entry[0] == kDeletedMark) {
    // With one sector per cluster (or none known) only the next sector.
    if (sector > run.cutSector &&
        sector - run.cutSector < std::max<uint64_t>(run.sectorsPerCluster, 2))
      return true;
    // Further away (a folder that grew into a cluster far off) the short
    // name must be the one made from the long name.
    return !run.longName.empty() && ShortNameFitsLongName(entry.first<11>(), run.longName);
  }
  return ShortNameChecksum(entry.first<11>()) == run.checksum;
}

void CProfessionalFatRecovery::OnDirectoryStart(std::span<const uint8_t> data, uint64_t sector) {
  try {
    if (data.size() < 2 * kEntryBytes) return;
    State& st = *m_state;
    const uint32_t cluster = EntryCluster(data);
    std::optional<ClusterGeometry> g = GeometryPlacing(cluster, sector);
    if (!g) {
      LearnGeometry(cluster, sector);
      g = GeometryPlacing(cluster, sector);
    }
    if (g) {
      PlacePendingFiles();
      st.current = ProFatExtent{*g, cluster, sector, cluster, sector, ClusterLength(cluster, *g)};
    } else {
      // The sectors after this one belong to a directory no geometry places.
      st.current.reset();
    }
    const ClusterGeometry* geometry = g ? &*g : nullptr;
    const Placement where{sector, sector, SIZE_MAX, 0};
    NameCut cut;
    ProcessEntries(data, cluster, geometry, where, cut);
    if (!cut.cut) return;
    const uint32_t spc = g ? g->sectorsPerCluster : 0;
    // A directory sector kept earlier may complete the run.
    for (auto& [keptSector, kept] : st.kept) {
      if (kept.used || kept.bytes.size() < kEntryBytes) continue;
      const std::span<const uint8_t> first =
          std::span<const uint8_t>(kept.bytes).first(kEntryBytes);
      bool completes = false;
      if (first[kAttributes] == kAttrLongName) {
        completes = first[kChecksum] == cut.checksum &&
                    (!g || (keptSector >= sector && keptSector - sector < spc));
      } else {
        completes = first[0] != 0 && first[0] != kDeletedMark &&
                    ShortNameChecksum(first.first<11>()) == cut.checksum;
      }
      if (!completes) continue;
      kept.used = true;
      std::vector<uint8_t> joined(data.begin() + ptrdiff_t(cut.from), data.end());
      joined.insert(joined.end(), kept.bytes.begin(), kept.bytes.end());
      const Placement joint{sector, where.SectorOf(cut.from, m_bytesPerSector),
                            data.size() - cut.from, keptSector};
      NameCut again;
      ProcessEntries(joined, cut.directory, geometry, joint, again);
      if (again.cut)
        KeepNameRun(joined, again, joint, keptSector + (kept.bytes.size() - 1) / m_bytesPerSector,
                    spc);
      return;
    }
    KeepNameRun(data, cut, where, sector + (data.size() - 1) / m_bytesPerSector, spc);
  } catch (const std::bad_alloc&) {
    // What this sector held is lost; the pass goes on.
  }
}

void CProfessionalFatRecovery::OnDirectorySector(std::span<const uint8_t> data, uint64_t sector) {
  try {
    if (data.empty()) return;
    State& st = *m_state;
    if (ContinueOpenRuns(data, sector)) return;
    const uint64_t last = sector + (data.size() - 1) / m_bytesPerSector;
    if (st.current && ExtentTakes(*st.current, sector)) {
      const ProFatExtent extent = *st.current;
      const Placement where{extent.directoryStart, sector, SIZE_MAX, 0};
      NameCut cut;
      ProcessEntries(data, extent.directory, &extent.geometry, where, cut);
      if (cut.cut) KeepNameRun(data, cut, where, last, extent.geometry.sectorsPerCluster);
      return;
    }
    for (const ClusterGeometry& g : m_geometries) {
      const auto cluster = ClusterStartingAt(sector, g);
      if (!cluster) continue;
      const ClusterGeometry geometry = g;
      st.current =
          ProFatExtent{geometry, *cluster, sector, *cluster, sector, ClusterLength(*cluster, g)};
      const Placement where{sector, sector, SIZE_MAX, 0};
      NameCut cut;
      ProcessEntries(data, *cluster, &geometry, where, cut);
      if (cut.cut) KeepNameRun(data, cut, where, last, geometry.sectorsPerCluster);
      return;
    }
    if (st.keptBytes + data.size() > State::kMaxKeptBytes) return;
    auto [it, inserted] = st.kept.try_emplace(sector);
    if (!inserted) st.keptBytes -= it->second.bytes.size();
    it->second.bytes.assign(data.begin(), data.end());
    it->second.used = false;
    st.keptBytes += data.size();
  } catch (const std::bad_alloc&) {
    // What this sector held is lost; the pass goes on.
  }
}

bool CProfessionalFatRecovery::ContinueOpenRuns(std::span<const uint8_t> data, uint64_t sector) {
  State& st = *m_state;
  for (size_t i = 0; i < st.runs.size(); ++i) {
    if (!ContinuesNameRun(st.runs[i], data, sector)) continue;
    const ProFatNameRun run = std::move(st.runs[i]);
    st.runs.erase(st.runs.begin() + ptrdiff_t(i));
    ContinueNameRun(run, data, sector);
    return true;
  }
  return false;
}

void CProfessionalFatRecovery::ContinueNameRun(const ProFatNameRun& run,
                                               std::span<const uint8_t> data, uint64_t sector) {
  std::vector<uint8_t> joined(run.bytes);
  joined.insert(joined.end(), data.begin(), data.end());
  // Without a geometry: the continuation may lie in another cluster, so
  // the run's files wait until their directory is placed.
  const Placement where{run.position, run.sector, run.bytes.size(), sector};
  NameCut cut;
  ProcessEntries(joined, run.directory, nullptr, where, cut);
  if (cut.cut)
    KeepNameRun(joined, cut, where, sector + (data.size() - 1) / m_bytesPerSector,
                run.sectorsPerCluster);
  // A directory that grew took whatever cluster was free then: the cluster
  // the name went on in is the directory's next one, and the rest of it is
  // read as the same directory.
  for (const ClusterGeometry& g : m_geometries) {
    const auto cluster = ClusterStartingAt(sector, g);
    if (!cluster) continue;
    m_state->current =
        ProFatExtent{g, run.directory, run.position, *cluster, sector, ClusterLength(*cluster, g)};
    break;
  }
}

void CProfessionalFatRecovery::KeepNameRun(std::span<const uint8_t> data, const NameCut& cut,
                                           const Placement& where, uint64_t lastSector,
                                           uint32_t sectorsPerCluster) {
  State& st = *m_state;
  if (st.runs.size() >= State::kMaxNameRuns) return;
  ProFatNameRun run;
  run.bytes.assign(data.begin() + ptrdiff_t(cut.from), data.end());
  run.checksum = cut.checksum;
  run.directory = cut.directory;
  run.position = where.position;
  run.sector = where.SectorOf(cut.from, m_bytesPerSector);
  run.cutSector = lastSector;
  run.sectorsPerCluster = sectorsPerCluster;
  LongNameCollector names;
  for (size_t at = 0; at + kEntryBytes <= run.bytes.size(); at += kEntryBytes)
    if (run.bytes[at + kAttributes] == kAttrLongName)
      names.AddPart(std::span<const uint8_t>(run.bytes).subspan(at, kEntryBytes));
  if (!names.Empty()) run.longName = names.Name();
  st.runs.push_back(std::move(run));
}

void CProfessionalFatRecovery::ProcessEntries(std::span<const uint8_t> data, uint32_t directory,
                                              const ClusterGeometry* g, const Placement& where,
                                              NameCut& cut) {
  State& st = *m_state;
  cut = NameCut{};
  LongNameCollector names;
  size_t runStart = SIZE_MAX;
  uint8_t runChecksum = 0;
  int parts = 0;
  for (size_t at = 0; at + kEntryBytes <= data.size(); at += kEntryBytes) {
    const auto entry = data.subspan(at, kEntryBytes);
    if (entry[0] == 0) return;  // the directory ends here
    if (!IsPlausibleEntry(data.subspan(at))) {
      names.Clear();
      runStart = SIZE_MAX;
      parts = 0;
      continue;
    }
    const uint8_t attributes = entry[kAttributes];
    if (attributes == kAttrLongName) {
      // No name is longer than 20 parts: the rest of the data is not read.
      if (parts == kMaxLongNameParts) return;
      if (runStart == SIZE_MAX) {
        runStart = at;
        runChecksum = entry[kChecksum];
      }
      names.AddPart(entry);
      ++parts;
      continue;
    }
    std::string name = names.Empty() ? std::string() : names.Name();
    names.Clear();
    runStart = SIZE_MAX;
    parts = 0;
    if (IsVolumeLabel(entry)) continue;
    const bool deleted = entry[0] == kDeletedMark;
    const uint64_t entrySector = where.SectorOf(at, m_bytesPerSector);
    const uint16_t low = LoadLe16(entry, kClusterLow);
    uint32_t high = LoadLe16(entry, kClusterHigh);
    const FatFileTimes times = FatEntryTimes(entry);

    ScanRecord record;
    record.SetSourceKey(m_sourceKey);
    record.SetEngine(kEngineCode);
    record.SetDeleted(1);
    record.SetCreated(times.creation);
    record.SetAccessed(times.lastAccess);
    record.SetWritten(times.lastWrite);
    record.SetMetadataSector(entrySector);

    if ((attributes & kAttrFolder) != 0) {
      if (entry[0] == '.') {
        // "." names this directory; ".." its parent, not a child.
        if (entry[1] == ' ') directory = EntryCluster(entry);
        continue;
      }
      if (name.empty()) name = ShortEntryName(entry, true);
      if (deleted && high == 0 && g != nullptr) high = ProbeFolderHigh(low, *g);
      const uint32_t cluster = high << 16 | low;
      if (cluster == 0 || cluster == directory) continue;
      record.SetIsFolder(true);
      record.SetContentCheck(1);
      record.SetEntryKey(cluster);
      record.SetName(name);
      ProFatPendingFolder folder;
      folder.record = record;
      folder.parent = directory;
      folder.sector = entrySector;
      if (g != nullptr) folder.geometry = *g;
      st.pendingFolders.insert_or_assign(cluster, std::move(folder));
      ++st.folderChanges;
    } else if ((attributes & kAttrArchive) != 0) {
      if (name.empty()) name = ShortEntryName(entry, false);
      const uint32_t size = LoadLe32(entry, kFileSize);
      const std::string extension = ExtensionOf(name);
      // A file without data needs no first cluster.
      if (deleted && high == 0 && g != nullptr && size != 0 && !extension.empty())
        high = ProbeFileHigh(low, extension, *g);
      record.SetIsFolder(false);
      record.SetEntryKey(high << 16 | low);
      record.SetFileSize(size);
      record.SetName(name);
      if (g != nullptr) {
        WriteFile(record, directory, *g);
      } else {
        ProFatPendingFile file;
        file.record = record;
        file.directory = directory;
        file.position = where.position;
        st.pendingFiles.push_back(std::move(file));
      }
      // A file the quick engine listed makes no folder of this engine's.
      if (!ListedByQuick(record)) NoteSeenDirectories(directory, g, where.position);
    }
  }
  if (runStart != SIZE_MAX) cut = NameCut{true, runStart, runChecksum, directory};
}

void CProfessionalFatRecovery::WriteFile(ScanRecord record, uint32_t directory,
                                         const ClusterGeometry& g) {
  if (!m_store || !m_store->IsOpen() || ListedByQuick(record)) return;
  record.SetClusterBytes(m_bytesPerSector * g.sectorsPerCluster);
  record.SetFirstDataSector(g.dataStart);
  record.SetPartitionStart(g.partitionStart);
  record.SetContentCheck(ContentCheck(record.EntryKey(), ExtensionOf(record.Name()), g));
  const uint32_t number = m_store->AppendRecord(record);
  m_store->AddRelation(FolderKey(directory, &g), number);
}

uint32_t CProfessionalFatRecovery::ContentCheck(uint32_t cluster, std::string_view extension,
                                                const ClusterGeometry& g) {
  if (extension.empty() || cluster < 2) return 1;
  const auto at = ClusterStart(cluster, g);
  std::vector<uint8_t> sector;
  if (!at || ReadAbsolute(*at, 1, sector) != kOk) return 1;
  return MatchesExtension(Sizing(m_state->sizing), sector, extension, m_reader, m_bytesPerSector,
                          *at) != 0
             ? 1
             : 0;
}

uint32_t CProfessionalFatRecovery::ProbeHigh(uint16_t low, const ClusterGeometry& g,
                                             const CandidateTest& test) {
  return ProbeHighWord(
      low, VolumeEnd(), [&](uint64_t c) { return ClusterStart(c, g); },
      [this](uint64_t at, std::vector<uint8_t>& out) { return ReadAbsolute(at, 1, out); }, test);
}

uint32_t CProfessionalFatRecovery::ProbeFolderHigh(uint16_t low, const ClusterGeometry& g) {
  return ProbeHigh(low, g,
                   [](std::span<const uint8_t> s, uint64_t) { return IsDotDirectoryStart(s); });
}

uint32_t CProfessionalFatRecovery::ProbeFileHigh(uint16_t low, std::string_view extension,
                                                 const ClusterGeometry& g) {
  return ProbeHigh(low, g, [&](std::span<const uint8_t> s, uint64_t at) {
    return MatchesExtension(Sizing(m_state->sizing), s, extension, m_reader, m_bytesPerSector,
                            at) != 0;
  });
}

uint32_t CProfessionalFatRecovery::DirectoryLevel(uint32_t directory, const ClusterGeometry* g) {
  if (directory == 0 || directory == m_rootCluster || g == nullptr) return 0;
  State& st = *m_state;
  const ProFatDirectoryKey key = KeyOf(directory, *g);
  if (auto known = st.levels.find(key); known != st.levels.end()) return known->second;
  uint32_t level = 0;
  std::set<uint32_t> visited{directory};
  std::vector<uint8_t> sector;
  uint32_t current = directory;
  // Each step climbs to a directory not visited before, and there are at
  // most kMaxSteps of them: a ".." cycle ends the count.
  for (uint32_t step = 0; step < State::kMaxSteps; ++step) {
    const auto at = ClusterStart(current, *g);
    if (!at || ReadAbsolute(*at, 1, sector) != kOk) break;
    if (IsVolumeLabel(sector)) break;
    ++level;
    if (!IsDotDirectoryStart(sector)) break;
    const uint32_t parent = EntryCluster(std::span<const uint8_t>(sector).subspan(kEntryBytes));
    if (parent == 0 || parent == m_rootCluster || !visited.insert(parent).second) break;
    current = parent;
  }
  st.levels.emplace(key, level);
  return level;
}

int CProfessionalFatRecovery::DirectoryParent(uint32_t directory, const ClusterGeometry* g,
                                              uint32_t& parent) {
  parent = m_rootCluster;
  if (g == nullptr || directory == 0) return kErrInvalidParameter;
  State& st = *m_state;
  const ProFatDirectoryKey key = KeyOf(directory, *g);
  if (auto known = st.parents.find(key); known != st.parents.end()) {
    parent = known->second.second;
    return known->second.first;
  }
  int rc = kOk;
  const auto at = ClusterStart(directory, *g);
  std::vector<uint8_t> sector;
  if (!at || *at >= VolumeEnd()) {
    rc = kErrInvalidParameter;
  } else if (rc = ReadAbsolute(*at, 1, sector); rc == kOk) {
    if (!IsVolumeLabel(sector) && IsDotDirectoryStart(sector)) {
      const uint32_t up = EntryCluster(std::span<const uint8_t>(sector).subspan(kEntryBytes));
      if (up != 0) parent = up;
    }
  }
  if (rc != kOk) parent = m_rootCluster;
  st.parents.emplace(key, std::make_pair(rc, parent));
  return rc;
}

bool CProfessionalFatRecovery::ListedByQuick(const ScanRecord& record) const {
  return m_quick != nullptr && m_quick->ListsEntry(record.MetadataSector(), record.Name());
}

bool CProfessionalFatRecovery::IsQuickFolder(uint32_t cluster, const ClusterGeometry* g) const {
  // The quick engine numbers clusters by the boot sector's layout.
  return m_quick != nullptr && g != nullptr && m_bootGeometry && !m_geometries.empty() &&
         *g == m_geometries.front() && m_quick->Folder(cluster) != nullptr;
}

uint64_t CProfessionalFatRecovery::FolderKey(uint32_t directory, const ClusterGeometry* g) {
  if (IsQuickFolder(directory, g)) return MergedFolderKey(directory);
  if (directory == 0 || directory == m_rootCluster) return RootKey();
  return uint64_t(DirectoryLevel(directory, g)) << 32 | directory;
}

}  // namespace brinvale
