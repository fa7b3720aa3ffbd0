#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "device/byte_source.h"
#include "device/sector_reader.h"
#include "engines/fat/fat_boot_sector.h"
#include "engines/fat/fat_high_word_probe.h"
#include "engines/fat/fat_record_copy.h"
#include "engines/fat/fat_table.h"
#include "deepscan/file_extent_map.h"
#include "deepscan/found_file_check.h"
#include "results/carved_condition.h"
#include "results/found_verdicts.h"
#include "results/image_partition_engine.h"
#include "results/recovery_engine.h"
#include "results/scan_log_store.h"

namespace brinvale {

struct SizingContext;
struct FatCopySink;

// The quick engine for FAT12, FAT16 and FAT32 volumes. It walks the folder
// tree from the root, following every folder it meets, live or deleted, and
// logs every deleted file and every file inside a deleted folder, with the
// folders on the way to them. A deleted file's data is taken to start at the
// first cluster its entry still names and to run on through free clusters.
//
// Owns its reader, FAT table, content-check context and scan log. Used by
// one thread at a time; not copyable.
class CFastFatRecovery final : public IRidiRedazuvoParse,
                               public IImagePartitionEngine,
                               public ICarvedConditions {
 public:
  // Engine code written at offset 2 of every record.
  static constexpr EngineCode kEngineCode = EngineCode::kQuickFat;
  static constexpr uint32_t kMaxClusterBytes = kMaxFatClusterBytes;
  static constexpr uint32_t kDefaultReportIntervalMs = 5000;

  CFastFatRecovery();
  ~CFastFatRecovery() override;

  // Slot 0: the image is a volume that starts at its first byte; its
  // sectors are counted in 512 bytes.
  int OpenImage(const std::filesystem::path& imagePath, char16_t sourceKey) override;
  // Slot 1.
  int OpenPartition(int diskNumber, uint64_t start, uint64_t count, char16_t driveLetter) override;
  int OpenImagePartition(const std::filesystem::path& imagePath, uint64_t start, uint64_t count,
                         char16_t sourceKey) override;
  int SetProgressCallback(ScanProgressCallback scan, CopyProgressCallback copy, void* user,
                          int scale) override;
  // Walks the volume, or with `existingLog` (a base name in the scan-log
  // folder, or a full path) reloads that log without reading the medium.
  // Returns 0, the callback's non-zero answer (kCancelled), or an error.
  int Scan(const std::filesystem::path* existingLog) override;
  int ListChildren(const ScanRecord* parent, uint32_t depth, RecordList& out) override;
  int CountFiles(const ScanRecord* parent, uint32_t depth, uint32_t& count) override;
  uint64_t GetRecordCount() override;
  int GetRecordPath(const ScanRecord& record, std::string& path, size_t maxChars) override;
  // A file record is copied to `target` (its folder is created). A folder
  // record becomes the folder `target` with everything found below it;
  // each found name is made safe with SanitizeFileName first. The depth of
  // a folder's children is the folder's own depth on the volume, so
  // `separators` is not needed to find them (it is accepted for the
  // interface). Returns 0, an error, or kCancelled.
  int RecoverRecord(const ScanRecord& record, const std::filesystem::path& target,
                    int separators) override;
  // Positions are sectors from the volume start, in its own sector size.
  // Builds the allocation map first when it is missing.
  int NextFreeRange(uint64_t& start, uint64_t& length) override;
  int SetSearchCallback(SearchProgressCallback callback, void* user) override;
  int Search(const std::string& text, RecordList& out) override;
  int BuildAllocationMap() override;
  // Documents and archives go to a file of the record's (made safe) name in
  // the preview folder, audio and video to "tmp.avi", pictures to
  // "tmp.jpg"; anything else into `buffer` (at most `size` bytes).
  int ExtractRecord(const ScanRecord& record, std::filesystem::path& path, uint8_t* buffer,
                    uint64_t& size, ExtractProgressCallback callback, void* user) override;

  // The verdict of a found file: its name's walker over its data as
  // recovery reads it (the chain, or for a deleted file the clusters
  // NextCluster follows), checked on the first ask and kept for the
  // session. kUnchecked for folders and formats without a walker.
  CarvedVerdict CarvedVerdictOf(const ScanRecord& record) override;
  std::optional<CarvedVerdict> KnownVerdictOf(const ScanRecord& record) override {
    if (!HasFoundFileCheck(record)) return CarvedVerdict{};
    return m_verdicts.Find(record);
  }

  // Not part of the interface.

  // Where the data of `record` lies, exactly as CopyData reads it: false
  // when it names no data or the engine is not open.
  bool DataExtents(const ScanRecord& record, FileExtentMap& map);

  // Opens the engine over any byte source as over an image of
  // `totalSectors` 512-byte sectors (tests, fuzzing, sources opened
  // elsewhere).
  int OpenSource(std::unique_ptr<ByteSource> source, uint64_t totalSectors, char16_t sourceKey);
  // Where scans write their logs; empty (the default) means the scan
  // history's current folder.
  void SetScanLogFolder(std::filesystem::path folder) { m_logFolder = std::move(folder); }
  // Where ExtractRecord writes its files; empty (the default) means the
  // scan-log base folder of the scan history.
  void SetPreviewFolder(std::filesystem::path folder) { m_previewFolder = std::move(folder); }
  // The least time between two progress reports of the walk (5,000 ms).
  void SetReportInterval(uint32_t milliseconds) { m_reportIntervalMs = milliseconds; }

  // The layout read at open; empty when the volume could not be opened.
  const std::optional<FatGeometry>& Geometry() const { return m_geometry; }
  ScanLogStore* Store() { return m_store.get(); }

  // The high cluster word of a deleted FAT32 folder whose entry names low
  // word `low`: the first h from 0 to 256 whose cluster (h << 16 | low)
  // starts with "." and ".." entries; 0 when none does.
  uint32_t GuessFolderHighWord(uint16_t low);
  // ProbeHighWord over this volume.
  uint32_t ProbeHigh(uint16_t low, const CandidateTest& test);
  // The same for a file with extension `extension`: the first candidate
  // whose first sector the content detectors accept.
  uint32_t GuessFileHighWord(uint16_t low, std::string_view extension);
  // The depth below the root of the folder at `cluster`, by its ".."
  // entries: 0 for the root.
  uint32_t FolderDepth(uint32_t cluster);

 private:
  int OpenWith(SectorReader reader, uint64_t start, uint64_t count, uint32_t deviceBps,
               char16_t sourceKey);
  // Volume-relative sector of cluster c, or empty for a cluster that names
  // no data.
  std::optional<uint64_t> ClusterSector(uint64_t cluster) const;
  // The volume's first sector and its length, in its own sector size.
  uint64_t StartSector() const;
  uint64_t VolumeSectors() const;
  // The key of the top level: the root's first cluster at depth 0.
  uint64_t RootKey() const;
  int ReadVolumeSectors(uint64_t sector, uint32_t count, std::vector<uint8_t>& out);
  bool IsValidCluster(uint64_t cluster) const;

  // The walk.
  int Report(int percent, int secondsLeft);
  void WalkFolder(uint32_t folder);
  // Handles the entries of one read piece of `folder`; false when the
  // folder ends in it.
  struct WalkState;
  bool WalkEntries(WalkState& state, std::span<const uint8_t> bytes, uint64_t firstSector);
  void LogFile(WalkState& state, std::span<const uint8_t> entry, const std::string& name,
               uint64_t entrySector);
  void MarkPath(uint32_t folder);
  void LogNeededFolders();
  uint32_t ContentCheck(uint32_t cluster, std::string_view extension);
  uint64_t FolderKey(uint32_t cluster);

  // Copying.
  // Reads the record's data cluster by cluster into `sink`, at most `limit`
  // bytes of its size.
  int CopyData(const ScanRecord& record, uint64_t limit, FatCopySink& sink);
  int RecoverFile(const ScanRecord& record, const std::filesystem::path& target, bool& stopped);
  // CopyData for the shared copying helpers.
  FatCopyData CopyFunction();
  std::filesystem::path LogFolder() const;
  std::filesystem::path PreviewFolder() const;

  // The medium.
  SectorReader m_reader;
  bool m_open = false;
  int m_openResult = kErrInvalidHandle;
  uint64_t m_start = 0;  // partition start, in device sectors
  uint64_t m_count = 0;  // partition length, in device sectors
  uint32_t m_deviceBps = 512;
  char16_t m_sourceKey = 0;
  uint32_t m_bps = 512;  // the volume's own sector size
  std::optional<FatGeometry> m_geometry;
  std::unique_ptr<FatTable> m_fat;
  std::unique_ptr<SizingContext> m_sizing;

  // Callbacks.
  ScanProgressCallback m_scanCallback = nullptr;
  CopyProgressCallback m_copyCallback = nullptr;
  void* m_user = nullptr;
  int m_scale = 100;
  SearchProgressCallback m_searchCallback = nullptr;
  void* m_searchUser = nullptr;
  uint32_t m_reportIntervalMs = kDefaultReportIntervalMs;

  // Scan state.
  std::deque<uint32_t> m_queue;
  std::unordered_set<uint32_t> m_walked;
  std::map<uint32_t, ScanRecord> m_found;  // folder first cluster -> its record
  std::vector<uint32_t> m_needed;
  std::unordered_set<uint32_t> m_neededSet;
  std::unordered_map<uint32_t, uint32_t> m_depths;
  std::unique_ptr<ScanLogStore> m_store;
  std::filesystem::path m_logFolder;
  std::filesystem::path m_previewFolder;

  FoundVerdicts m_verdicts;

  // Allocation map: bit c - 2 for cluster c, 1 = in use.
  std::vector<uint8_t> m_bitmap;
  uint64_t m_bitmapClusters = 0;
  bool m_haveBitmap = false;
};

}  // namespace brinvale
