#pragma once

// What the formatted-FAT engine builds up during one pass over the medium.
// Private to the engine's own files.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "deepscan/sizing_context.h"
#include "engines/fat/professional_fat_recovery.h"
#include "results/scan_record.h"

namespace brinvale {

// A folder entry met in a directory, waiting to become a folder record once
// a file is found below it.
struct ProFatPendingFolder {
  ScanRecord record;  // every field but the record number
  uint32_t parent = 0;
  uint64_t sector = 0;  // where the entry was seen: inside the parent's cluster
  std::optional<ClusterGeometry> geometry;
};

// A directory that holds a found file, or one of its ancestors.
struct ProFatSeenDirectory {
  std::optional<ClusterGeometry> geometry;
  uint64_t sector = 0;
};

// A file entry seen before any geometry placed its directory.
struct ProFatPendingFile {
  ScanRecord record;  // every field but the geometry's and the content check
  uint32_t directory = 0;
  uint64_t position = 0;  // the sector its directory was processed at
  bool written = false;
};

// A directory sector that no geometry placed when it was met.
struct ProFatKeptSector {
  std::vector<uint8_t> bytes;
  bool used = false;
};

// A long-name run cut off at the end of the bytes that held it.
struct ProFatNameRun {
  std::vector<uint8_t> bytes;  // from the run's first entry to the end
  uint8_t checksum = 0;
  uint32_t directory = 0;
  uint64_t position = 0;           // the position its directory was processed at
  uint64_t sector = 0;             // the sector of the run's first entry
  uint64_t cutSector = 0;          // the last sector of the bytes that held it
  uint32_t sectorsPerCluster = 0;  // of the geometry in use then; 0 for none
  std::string longName;            // what its long-name parts spell so far
};

// The directory cluster that the last sectors were read as.
struct ProFatExtent {
  ClusterGeometry geometry;
  uint32_t directory = 0;       // the directory's first cluster
  uint64_t directoryStart = 0;  // the first sector of that cluster
  uint32_t cluster = 0;         // the cluster being read
  uint64_t first = 0;           // its first sector
  uint32_t length = 0;          // its sectors
};

// A directory under one geometry: its cluster, sectors per cluster and
// the start of cluster 2.
using ProFatDirectoryKey = std::tuple<uint32_t, uint32_t, uint64_t>;

// Whether `data`, met at `sector`, goes on with `run`: its first entry is a
// long-name part with the run's checksum, a short entry whose name has that
// checksum, or a deleted short entry (its checksum is lost) close after the
// sector where the run was cut.
bool ContinuesNameRun(const ProFatNameRun& run, std::span<const uint8_t> data, uint64_t sector);

// Whether `sector` goes on with the directory `e` is reading: a sector of
// its current cluster, or the first sector after it, which starts the next
// cluster of the same directory (`e` then moves on to it). The FAT12/16
// root directory (cluster 0) ends where cluster 2 starts.
inline bool ExtentTakes(ProFatExtent& e, uint64_t sector) {
  if (sector < e.first) return false;
  const uint64_t offset = sector - e.first;
  if (offset < e.length) return true;
  if (offset > e.length || e.cluster == 0 || e.cluster == UINT32_MAX) return false;
  e.cluster += 1;
  e.first = sector;
  e.length = e.geometry.sectorsPerCluster;
  return e.length != 0;
}

struct CProfessionalFatRecovery::Placement {
  uint64_t position = 0;        // the directory's processing position
  uint64_t headSector = 0;      // the sector of the first byte
  size_t headBytes = SIZE_MAX;  // bytes from headSector on; then tailSector
  uint64_t tailSector = 0;
  // The sector that holds byte `offset`.
  uint64_t SectorOf(size_t offset, uint32_t bytesPerSector) const {
    if (offset < headBytes) return headSector + offset / bytesPerSector;
    return tailSector + (offset - headBytes) / bytesPerSector;
  }
};

struct CProfessionalFatRecovery::NameCut {
  bool cut = false;
  size_t from = 0;  // offset of the run's first entry
  uint8_t checksum = 0;
  uint32_t directory = 0;
};

struct CProfessionalFatRecovery::State {
  // Bounds on what an unlucky medium can make the pass keep in memory.
  static constexpr size_t kMaxSightings = 8192;
  static constexpr size_t kMaxKeptBytes = 64u << 20;
  static constexpr size_t kMaxNameRuns = 65536;
  // Steps of any walk over ".." entries.
  static constexpr uint32_t kMaxSteps = 4096;

  std::vector<std::pair<uint32_t, uint64_t>> sightings;
  std::map<uint32_t, ProFatPendingFolder> pendingFolders;
  std::map<uint32_t, ProFatSeenDirectory> seen;
  std::vector<ProFatPendingFile> pendingFiles;
  // PlacePendingFiles has tried the first `filesTried` pending files with
  // the first `geometriesTried` geometries.
  size_t filesTried = 0;
  size_t geometriesTried = 0;
  std::map<uint64_t, ProFatKeptSector> kept;
  size_t keptBytes = 0;
  std::vector<ProFatNameRun> runs;
  std::optional<ProFatExtent> current;
  uint32_t bootRootSectors = 32;
  // Directory levels and parents by (cluster, sectors per cluster, start of
  // cluster 2).
  using Key = ProFatDirectoryKey;
  std::map<Key, uint32_t> levels;
  std::map<Key, std::pair<int, uint32_t>> parents;
  // NoteSeenDirectories' last call, and a count of changes to the pending
  // folders that makes a repeated call differ.
  uint64_t folderChanges = 0;
  std::optional<std::tuple<uint32_t, uint32_t, uint64_t, uint64_t, uint64_t>> lastNoted;
  std::unique_ptr<SizingContext> sizing;
};

}  // namespace brinvale
