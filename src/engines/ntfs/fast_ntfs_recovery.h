#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/error_codes.h"
#include "deepscan/sizing_context.h"
#include "device/sector_reader.h"
#include "engines/ntfs/file_name_attribute.h"
#include "engines/ntfs/ntfs_volume.h"
#include "results/image_partition_engine.h"
#include "results/recovery_engine.h"
#include "deepscan/found_file_check.h"
#include "results/carved_condition.h"
#include "results/found_verdicts.h"
#include "results/scan_log_store.h"

namespace brinvale {

// The quick engine for NTFS volumes. It reads every record of the MFT; a
// FILE record whose flags are 0 (neither in use nor a folder) is a deleted
// file, written to the scan log under the folder its $FILE_NAME names. The
// folders met on the parent chains are written after the record pass; a
// parent that is no longer a readable folder becomes "LostFolder<n>" at the
// root. Found files are copied out again by following their MFT records.
//
// Folder keys: a file directly in the root is filed under (5, 0); the
// children of a folder F are filed under (F's record number, F's level),
// where a folder in the root has level 1.
class CFastNtfsRecovery final : public IRidiRedazuvoParse,
                                public IImagePartitionEngine,
                                public ICarvedConditions {
 public:
  static constexpr int kErrUnrecognizedVolume = 1005;  // ERROR_UNRECOGNIZED_VOLUME
  static constexpr uint32_t kRootRecord = 5;
  static constexpr uint32_t kLastSystemRecord = 11;  // records 0..11 are never listed
  static constexpr uint32_t kRecordsPerBatch = 1024;

  CFastNtfsRecovery();
  ~CFastNtfsRecovery() override;

  // Both opens give 1005 for a boot sector this engine cannot read by.
  int OpenImage(const std::filesystem::path& imagePath, char16_t sourceKey) override;
  int OpenPartition(int diskNumber, uint64_t start, uint64_t count, char16_t driveLetter) override;
  int OpenImagePartition(const std::filesystem::path& imagePath, uint64_t start, uint64_t count,
                         char16_t sourceKey) override;
  int SetProgressCallback(ScanProgressCallback scan, CopyProgressCallback copy, void* user,
                          int scale) override;
  // A scan (not the reload of an existing log) of a volume whose open
  // failed returns the open's error; of one whose $MFT runs could not be
  // read, 1005.
  int Scan(const std::filesystem::path* existingLog) override;
  int ListChildren(const ScanRecord* parent, uint32_t depth, RecordList& out) override;
  int CountFiles(const ScanRecord* parent, uint32_t depth, uint32_t& count) override;
  uint64_t GetRecordCount() override;
  int GetRecordPath(const ScanRecord& record, std::string& path, size_t maxChars) override;
  int RecoverRecord(const ScanRecord& record, const std::filesystem::path& target,
                    int separators) override;
  int NextFreeRange(uint64_t& start, uint64_t& length) override;
  int SetSearchCallback(SearchProgressCallback callback, void* user) override;
  int Search(const std::string& text, RecordList& out) override;
  int BuildAllocationMap() override;
  int ExtractRecord(const ScanRecord& record, std::filesystem::path& path, uint8_t* buffer,
                    uint64_t& size, ExtractProgressCallback callback, void* user) override;

  // The verdict of a found file: its name's walker over its data as
  // recovery reads it (the resident value, or the runs of its unnamed
  // $DATA with sparse runs as zeros), checked on the first ask and kept
  // for the session. kUnchecked for folders and formats without a walker.
  CarvedVerdict CarvedVerdictOf(const ScanRecord& record) override;
  std::optional<CarvedVerdict> KnownVerdictOf(const ScanRecord& record) override {
    if (!HasFoundFileCheck(record)) return CarvedVerdict{};
    return m_verdicts.Find(record);
  }

  // Not part of the interface: where Scan writes its log (default: the scan
  // history's current folder) and where previews go (default: the scan-log
  // base folder).
  void SetScanLogFolder(const std::filesystem::path& folder) { m_logFolder = folder; }
  void SetPreviewFolder(const std::filesystem::path& folder) { m_previewFolder = folder; }
  // Records per read step of the record pass (at least 1; kRecordsPerBatch
  // unless set). Tests and fuzzing take many steps over a small MFT.
  void SetStepRecords(uint32_t records) { m_stepRecords = records == 0 ? 1 : records; }
  // Opens on a reader made elsewhere (tests, fuzzing): the volume starts at
  // `startSector` counted in `mediumBytesPerSector` sectors.
  int OpenReader(SectorReader reader, uint64_t startSector, uint64_t sectorCount,
                 uint32_t mediumBytesPerSector, char16_t sourceKey);

  // The absolute sector where the record's data starts (first run of its
  // unnamed $DATA, read from the record's own sector, in the volume's
  // sectors); false for resident data, no runs, a sparse first run or a
  // record that cannot be read.
  bool FirstDataSector(const ScanRecord& record, uint64_t& sector);

  const NtfsVolume& Volume() const { return m_volume; }
  const ScanLogStore* Store() const { return m_store.get(); }
  // The allocation map as BuildAllocationMap loaded it.
  std::span<const uint8_t> AllocationMap() const { return m_map; }

 private:
  // What the walk up the parent chain learnt about one folder record.
  struct FolderNode {
    uint32_t parent = 0;  // the parent named by the folder's $FILE_NAME
    uint32_t level = 0;   // folders from the root down to this one, itself counted
    bool lost = false;    // not a readable folder: a LostFolder at the root
    bool resolved = false;
  };
  int FinishOpen(uint32_t mediumBytesPerSector, uint64_t start, uint64_t count, char16_t letter);
  void ResetScanState();
  int RecordPass();
  int FolderPass();
  int ReportProgress(int percent);
  // `readWhole`: every sector of the step that holds `record` was read;
  // otherwise parts of it may be zeros standing for sectors that failed.
  void AnalyseFileRecord(std::span<uint8_t> record, uint64_t recordNumber, uint64_t sector,
                         bool readWhole);
  void AnalyseFolder(uint32_t recordNumber);
  void WriteLostFolder(uint32_t recordNumber);
  // The folder node of record `number`, resolving its chain up to the root.
  const FolderNode& ResolveFolder(uint32_t number);
  // Reads record `number` into m_recordBuffer with its fix-up applied;
  // false when it cannot be located or read or is not a FILE record.
  bool ReadFixedRecord(uint64_t number, uint64_t& sector);
  // Whether a deleted file's content still starts as its name says.
  // `record` is the file's record as the pass read and repaired it, or
  // empty to read it again from `recordSector`.
  uint32_t ContentCheck(std::span<const uint8_t> record, uint64_t recordSector,
                        std::string_view name);
  int EnsureStore();

  int CopyToFile(const ScanRecord& record, const std::filesystem::path& target);

  NtfsVolume m_volume;
  SectorReader m_reader;
  int m_openResult = kErrInvalidHandle;  // of the last open; a scan fails with it
  bool m_mftRunsFound = false;           // $MFT's runs were read at open
  std::vector<uint8_t> m_recordBuffer;  // one record read on its own
  uint32_t m_stepRecords = kRecordsPerBatch;
  std::unique_ptr<ScanLogStore> m_store;
  std::unique_ptr<SizingContext> m_sizing;
  std::filesystem::path m_logFolder;
  std::filesystem::path m_previewFolder;

  std::vector<uint32_t> m_folderList;  // in the order met
  std::unordered_map<uint32_t, FolderNode> m_folders;

  ScanProgressCallback m_progress = nullptr;
  CopyProgressCallback m_copyProgress = nullptr;
  void* m_user = nullptr;
  int m_scale = 100;
  SearchProgressCallback m_searchCallback = nullptr;
  void* m_searchUser = nullptr;

  uint64_t m_totalSectors = 0;
  uint64_t m_processed = 0;
  uint32_t m_startTick = 0;
  uint32_t m_lastEstimateTick = 0;
  int m_secondsLeft = -1;

  std::vector<uint8_t> m_map;  // $Bitmap: bit set = cluster in use

  FoundVerdicts m_verdicts;
};

}  // namespace brinvale
