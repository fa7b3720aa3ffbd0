#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "device/sector_reader.h"
#include "engines/fat/fat_high_word_probe.h"
#include "engines/fat/fat_quick_listing.h"
#include "engines/fat/fat_record_copy.h"
#include "deepscan/file_extent_map.h"
#include "deepscan/found_file_check.h"
#include "results/carved_condition.h"
#include "results/found_verdicts.h"
#include "results/image_partition_engine.h"
#include "results/recovery_engine.h"
#include "results/scan_log_store.h"

namespace brinvale {

struct FatCopySink;
struct ProFatNameRun;

// One possible old layout of a FAT volume: where cluster 2 lies and how
// large a cluster is. The first sector of cluster c is partitionStart +
// dataStart + (c - 2) x sectorsPerCluster; cluster 0 (the FAT12/16 root
// directory, named by the ".." entries of first-level folders) is taken to
// start 32 sectors before cluster 2, or as many as a FAT12/16 boot sector's
// root entry count needs under the boot sector's layout.
struct ClusterGeometry {
  uint32_t sectorsPerCluster = 0;  // 1, 2, 4, ..., 128
  uint32_t dataStart = 0;          // sectors from the partition start to cluster 2
  uint64_t partitionStart = 0;     // absolute first sector of the volume
  bool operator==(const ClusterGeometry&) const = default;
};

// The formatted-FAT engine: finds the files and folders of a FAT12/16/32
// volume whose boot sector, FATs and root directory were rewritten, from
// the old directory clusters that still lie on the medium. It runs no scan
// of its own: the full-scan coordinator reads the medium once and hands it
// every sector that looks like directory data; the engine learns the old
// cluster layouts from the "." entries it is shown, files each entry into
// its "Pro_Fat_" scan log and rebuilds the folder tree from "." and "..".
// A found file is read back as consecutive clusters from its first one.
//
// Sector numbers are absolute, counted in the medium's sector size. Every
// walk over ".." entries keeps a visited set and a step bound. Owns its
// reader and scan log; used by one thread at a time; not copyable.
class CProfessionalFatRecovery final : public IRidiRedazuvoParse,
                                       public IImagePartitionEngine,
                                       public ICarvedConditions {
 public:
  static constexpr EngineCode kEngineCode = EngineCode::kFormattedFat;
  static constexpr uint32_t kMaxClusterBytes = kMaxFatClusterBytes;

  CProfessionalFatRecovery();
  ~CProfessionalFatRecovery() override;

  // Slot 0: the image is a volume (or a whole disk) from its first byte, in
  // 512-byte sectors. 0 at once when already open.
  int OpenImage(const std::filesystem::path& imagePath, char16_t sourceKey) override;
  // Slot 1.
  int OpenPartition(int diskNumber, uint64_t start, uint64_t count, char16_t driveLetter) override;
  int OpenImagePartition(const std::filesystem::path& imagePath, uint64_t start, uint64_t count,
                         char16_t sourceKey) override;
  int SetProgressCallback(ScanProgressCallback scan, CopyProgressCallback copy, void* user,
                          int scale) override;
  // Slot 3 does nothing: the coordinator drives the scan.
  int Scan(const std::filesystem::path* existingLog) override;
  // Slots 4 to 7 and 11 flush the log and answer from it (0 and nothing
  // without one). The top level is the key of the root: files of the old
  // root directory and folders whose parent is cluster 0 or the root
  // cluster are both filed there.
  int ListChildren(const ScanRecord* parent, uint32_t depth, RecordList& out) override;
  int CountFiles(const ScanRecord* parent, uint32_t depth, uint32_t& count) override;
  uint64_t GetRecordCount() override;
  int GetRecordPath(const ScanRecord& record, std::string& path, size_t maxChars) override;
  // A file is copied as consecutive clusters from its first cluster; a
  // folder becomes `target` with everything below it (names made safe
  // with SanitizeFileName).
  int RecoverRecord(const ScanRecord& record, const std::filesystem::path& target,
                    int separators) override;
  // Slots 9 and 12: 0, nothing done.
  int NextFreeRange(uint64_t& start, uint64_t& length) override;
  int SetSearchCallback(SearchProgressCallback callback, void* user) override;
  int Search(const std::string& text, RecordList& out) override;
  int BuildAllocationMap() override;
  // Preview targets as the quick FAT engine's (PreviewTarget).
  int ExtractRecord(const ScanRecord& record, std::filesystem::path& path, uint8_t* buffer,
                    uint64_t& size, ExtractProgressCallback callback, void* user) override;

  // For the coordinator, in this order.

  // Forgets geometries, sightings, pending and kept items; opens the log
  // `logName` (a base name in the scan-log folder; an existing log is
  // appended to) or, when null, a new "Pro_Fat_<start>_<time>" log.
  // Returns the log's open result.
  int PrepareFatScan(const std::filesystem::path* logName);
  // Adds the geometry of the volume's FAT boot sector, when it still has
  // one. Returns 0 (also when there is none) or the read error.
  int ReadBootGeometry();
  // Adds the geometry of the FAT boot sector at absolute sector `start`
  // (a partition of a disk), when there is one, as a layout like those
  // learnt from "." entries. Returns as ReadBootGeometry.
  int AddPartitionGeometry(uint64_t start);
  // A sector that passes IsDotDirectoryStart, at absolute sector `sector`.
  void OnDirectoryStart(std::span<const uint8_t> data, uint64_t sector);
  // Any other sector that passes IsDirectorySector.
  void OnDirectorySector(std::span<const uint8_t> data, uint64_t sector);
  // Writes folders, lost folders and the files still pending; flushes the
  // log. Called after the pass, also after a cancel. Returns the flush
  // result.
  int FinishFatScan();

  // What the quick engine of the same scan listed (borrowed; null for
  // none), set after ReadBootGeometry. Under the boot sector's layout, an
  // entry the quick engine listed is not filed again, a folder it placed
  // gets no record here, and the entries only this engine found in such a
  // folder are filed under the quick engine's folder (MergedFolders).
  void SetQuickListing(const FatQuickListing* listing) { m_quick = listing; }
  // The first clusters of the quick engine's folders that hold entries of
  // this engine's.
  std::vector<uint32_t> MergedFolders();
  // The entries of this engine's filed directly in the quick engine's
  // folder `cluster`, and the files at every depth below it.
  int ListMergedFolder(uint32_t cluster, RecordList& out);
  int CountMergedFolder(uint32_t cluster, uint32_t& count);
  // Whether `record` lies below a quick engine's folder; `cluster` is that
  // folder's, GetRecordPath then gives the path below it.
  bool MergedFolderOf(const ScanRecord& record, uint32_t& cluster);

  // Not part of the interface.

  // Opens on a reader made elsewhere (tests, fuzzing): the volume starts at
  // `start` and has `count` sectors of `bytesPerSector`.
  int OpenReader(SectorReader reader, uint64_t start, uint64_t count, uint32_t bytesPerSector,
                 char16_t sourceKey);
  // Where logs are created (default: the scan history's current folder)
  // and where previews go (default: the scan-log base folder).
  void SetScanLogFolder(const std::filesystem::path& folder) { m_logFolder = folder; }
  void SetPreviewFolder(const std::filesystem::path& folder) { m_previewFolder = folder; }

  const std::vector<ClusterGeometry>& Geometries() const { return m_geometries; }
  // Among two or more geometries (the boot geometry left out when there is
  // one), the one whose cluster 2 is at or before `sector` and closest to
  // it; else the first; none without geometries.
  std::optional<ClusterGeometry> NearestGeometry(uint64_t sector) const;
  ScanLogStore* Store() { return m_store.get(); }
  uint32_t BytesPerSector() const { return m_bytesPerSector; }

  // The verdict of a found file: its name's walker over the consecutive
  // clusters recovery reads from its first one, checked on the first ask
  // and kept for the session. kUnchecked for folders and formats without
  // a walker.
  CarvedVerdict CarvedVerdictOf(const ScanRecord& record) override;
  std::optional<CarvedVerdict> KnownVerdictOf(const ScanRecord& record) override {
    if (!HasFoundFileCheck(record)) return CarvedVerdict{};
    return m_verdicts.Find(record);
  }
  // Where the data of `record` lies, exactly as CopyData reads it (cut at
  // the end of the volume): false when it names no data or the engine is
  // not open.
  bool DataExtents(const ScanRecord& record, FileExtentMap& map);

 private:
  struct State;      // everything the pass builds up (professional_fat_state.h)
  struct Placement;  // where the bytes handed to ProcessEntries lie
  struct NameCut;    // a long-name run cut off at the end of those bytes
  std::unique_ptr<State> m_state;

  // Layout.
  // The first sector past the volume (and the medium).
  uint64_t VolumeEnd() const;
  // Sectors of the FAT12/16 root directory (cluster 0) under `g`.
  uint32_t RootSectors(const ClusterGeometry& g) const;
  // The first sector of `cluster` under `g`; empty for cluster 1 or a
  // sector before the medium.
  std::optional<uint64_t> ClusterStart(uint64_t cluster, const ClusterGeometry& g) const;
  // The cluster that `g` starts exactly at `sector`, if any.
  std::optional<uint32_t> ClusterStartingAt(uint64_t sector, const ClusterGeometry& g) const;
  // The cluster that holds `sector` under `g`, if any.
  std::optional<uint32_t> ClusterHolding(uint64_t sector, const ClusterGeometry& g) const;
  // Sectors of the directory cluster `cluster` under `g`.
  uint32_t ClusterLength(uint32_t cluster, const ClusterGeometry& g) const;
  // The first geometry under which `cluster` starts at `sector`.
  std::optional<ClusterGeometry> GeometryPlacing(uint32_t cluster, uint64_t sector) const;
  void LearnGeometry(uint32_t cluster, uint64_t sector);
  // The layout of the FAT boot sector at `start`; none without one.
  int BootGeometryAt(uint64_t start, std::optional<ClusterGeometry>& out, uint32_t& rootCluster,
                     uint32_t& rootSectors);
  // Reads whole sectors at an absolute sector; 87 past the volume's end.
  int ReadAbsolute(uint64_t sector, uint32_t count, std::vector<uint8_t>& out);

  // Directory entries.
  void ProcessEntries(std::span<const uint8_t> data, uint32_t directory,
                      const ClusterGeometry* geometry, const Placement& where, NameCut& cut);
  // Files a cut-off long-name run among the open runs.
  void KeepNameRun(std::span<const uint8_t> data, const NameCut& cut, const Placement& where,
                   uint64_t lastSector, uint32_t sectorsPerCluster);
  // Tries the open name runs on a sector; true when one took it.
  bool ContinueOpenRuns(std::span<const uint8_t> data, uint64_t sector);
  void ContinueNameRun(const ProFatNameRun& run, std::span<const uint8_t> data, uint64_t sector);
  void WriteFile(ScanRecord record, uint32_t directory, const ClusterGeometry& g);
  uint32_t ContentCheck(uint32_t cluster, std::string_view extension, const ClusterGeometry& g);
  // ProbeHighWord over the clusters of `g`.
  uint32_t ProbeHigh(uint16_t low, const ClusterGeometry& g, const CandidateTest& test);
  uint32_t ProbeFolderHigh(uint16_t low, const ClusterGeometry& g);
  uint32_t ProbeFileHigh(uint16_t low, std::string_view extension, const ClusterGeometry& g);
  uint32_t DirectoryLevel(uint32_t directory, const ClusterGeometry* g);
  int DirectoryParent(uint32_t directory, const ClusterGeometry* g, uint32_t& parent);
  uint64_t FolderKey(uint32_t directory, const ClusterGeometry* g);
  // The key the entries of the quick engine's folder `cluster` are filed
  // under.
  static uint64_t MergedFolderKey(uint32_t cluster) {
    return uint64_t(ScanLogStore::kForeignLevel) << 32 | cluster;
  }
  // Whether the quick engine listed the entry of `record`.
  bool ListedByQuick(const ScanRecord& record) const;
  // Whether `cluster` under `g` is a folder the quick engine placed.
  bool IsQuickFolder(uint32_t cluster, const ClusterGeometry* g) const;
  uint64_t RootKey() const { return m_rootCluster; }

  // Finishing.
  void PlacePendingFiles();
  void NoteSeenDirectories(uint32_t directory, const ClusterGeometry* g, uint64_t sector);
  void ProcessKeptSectors();
  void WriteFolders();

  // Copying.
  int CopyData(const ScanRecord& record, uint64_t limit, FatCopySink& sink);
  int RecoverFile(const ScanRecord& record, const std::filesystem::path& target, bool& stopped);
  // CopyData for the shared copying helpers.
  FatCopyData CopyFunction();
  // The folder key that files `folder`'s children: (depthHint, its
  // cluster) when there is one, else the first key of its cluster.
  uint64_t ChildKey(const ScanRecord& folder, uint32_t depthHint);
  std::filesystem::path LogFolder() const;
  std::filesystem::path PreviewFolder() const;

  SectorReader m_reader;
  bool m_open = false;
  int m_openResult = kErrInvalidHandle;
  uint64_t m_start = 0;
  uint64_t m_count = 0;
  uint32_t m_bytesPerSector = 512;
  char16_t m_sourceKey = 0;
  uint32_t m_rootCluster = 2;
  bool m_bootGeometry = false;
  std::vector<ClusterGeometry> m_geometries;
  const FatQuickListing* m_quick = nullptr;

  std::unique_ptr<ScanLogStore> m_store;
  std::filesystem::path m_logFolder;
  std::filesystem::path m_previewFolder;

  ScanProgressCallback m_scanCallback = nullptr;
  CopyProgressCallback m_copyCallback = nullptr;
  void* m_user = nullptr;
  int m_scale = 100;
  SearchProgressCallback m_searchCallback = nullptr;
  void* m_searchUser = nullptr;

  FoundVerdicts m_verdicts;
};

}  // namespace brinvale
