#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "device/sector_reader.h"
#include "engines/ntfs/ntfs_volume.h"
#include "engines/ntfs/run_list.h"
#include "deepscan/found_file_check.h"
#include "results/carved_condition.h"
#include "results/found_verdicts.h"
#include "results/image_partition_engine.h"
#include "results/recovery_engine.h"
#include "results/scan_log_store.h"

namespace brinvale {

// The formatted-NTFS engine: finds the files of NTFS volumes whose boot
// sector and MFT no longer describe them. It walks no MFT of its own: the
// full-scan coordinator reads the medium and hands every FILE record that
// is not a folder to AnalyseRecord with the absolute sector where it lay.
// The engine keeps a map of every MFT it has seen (the current one and
// those of earlier formats, each known by its own $MFT record), files each
// record under the parent chain read through the MFT that owns it, and
// after the pass writes the folders, with "LostFolder<n>" for parents that
// are gone. Files are read back from their record's own sector.
//
// Sector numbers are absolute, in the volume's sector size. Owns its reader
// and scan log; used by one thread at a time; not copyable.
class CProfessionalNtfsRecovery final : public IRidiRedazuvoParse,
                                        public IImagePartitionEngine,
                                        public ICarvedConditions {
 public:
  static constexpr EngineCode kEngineCode = EngineCode::kFormattedNtfs;
  static constexpr uint32_t kRootRecord = 5;

  CProfessionalNtfsRecovery();
  ~CProfessionalNtfsRecovery() override;

  // Slot 0: an image in 512-byte sectors, volume start 0.
  int OpenImage(const std::filesystem::path& imagePath, char16_t sourceKey) override;
  // Slot 1.
  int OpenPartition(int diskNumber, uint64_t start, uint64_t count, char16_t driveLetter) override;
  int OpenImagePartition(const std::filesystem::path& imagePath, uint64_t start, uint64_t count,
                         char16_t sourceKey) override;
  int SetProgressCallback(ScanProgressCallback scan, CopyProgressCallback copy, void* user,
                          int scale) override;
  // Slot 3 does nothing: the coordinator drives the scan.
  int Scan(const std::filesystem::path* existingLog) override;
  // Slots 4 to 8, 10, 11 and 13 as the quick NTFS engine's, reading every
  // file from the record's own sector (offset 70), file-system start
  // (offset 78) and cluster size (offset 26). The top level is key (5, 0).
  int ListChildren(const ScanRecord* parent, uint32_t depth, RecordList& out) override;
  int CountFiles(const ScanRecord* parent, uint32_t depth, uint32_t& count) override;
  uint64_t GetRecordCount() override;
  int GetRecordPath(const ScanRecord& record, std::string& path, size_t maxChars) override;
  int RecoverRecord(const ScanRecord& record, const std::filesystem::path& target,
                    int separators) override;
  // Slots 9 and 12: 0, nothing done.
  int NextFreeRange(uint64_t& start, uint64_t& length) override;
  int SetSearchCallback(SearchProgressCallback callback, void* user) override;
  int Search(const std::string& text, RecordList& out) override;
  int BuildAllocationMap() override;
  int ExtractRecord(const ScanRecord& record, std::filesystem::path& path, uint8_t* buffer,
                    uint64_t& size, ExtractProgressCallback callback, void* user) override;

  // For the coordinator.

  // Forgets the folder list; opens the log `logName` (a base name in the
  // scan-log folder; an existing log is appended to) or, when null, a new
  // "Pro_Ntfs_<start>_<time>" log. Returns the log's open result.
  int OpenProLog(const std::filesystem::path* logName);
  // One FILE record found at absolute sector `sector`. `record` holds the
  // record as read (fix-up not applied); only its bytes are ever read, so a
  // span shorter than the record size is refused (87). Returns 0, -1 (not a
  // FILE record), or 87 (header out of bounds).
  int AnalyseRecord(std::span<const uint8_t> record, uint64_t sector);
  // Writes the folders met on the parent chains; a folder whose record
  // cannot be read, or no longer is that folder, becomes "LostFolder<n>" at
  // the top level and the pass goes on. Returns 0, the first read error
  // met, or 8 when memory ran out.
  int RunFolderPass();
  // The absolute sector where the record's data starts (first run of its
  // unnamed $DATA, read from the record's own sector); false for resident
  // data, no runs, a sparse first run or a record that cannot be read.
  bool FirstDataSector(const ScanRecord& record, uint64_t& sector);

  // Not part of the interface.

  // Opens on a reader made elsewhere (tests, fuzzing): the volume starts at
  // `startSector` counted in `mediumBytesPerSector` sectors.
  int OpenReader(SectorReader reader, uint64_t startSector, uint64_t sectorCount,
                 uint32_t mediumBytesPerSector, char16_t sourceKey);
  void SetScanLogFolder(const std::filesystem::path& folder) { m_logFolder = folder; }
  void SetPreviewFolder(const std::filesystem::path& folder) { m_previewFolder = folder; }

  const NtfsVolume& Volume() const { return m_volume; }
  uint32_t SectorsPerCluster() const { return m_sectorsPerCluster; }
  // Absolute sector of an MFT's first record -> that MFT's runs.
  const std::map<uint64_t, RunList>& MftMap() const { return m_mfts; }
  ScanLogStore* Store() { return m_store.get(); }

  // The verdict of a found file: its name's walker over its data as
  // recovery reads it through the volume of its record, checked on the
  // first ask and kept for the session. kUnchecked for folders and formats
  // without a walker.
  CarvedVerdict CarvedVerdictOf(const ScanRecord& record) override;
  std::optional<CarvedVerdict> KnownVerdictOf(const ScanRecord& record) override {
    if (!HasFoundFileCheck(record)) return CarvedVerdict{};
    return m_verdicts.Find(record);
  }

 private:
  struct State;  // folder list and scratch buffers; defined in professional_ntfs_state.h
  std::unique_ptr<State> m_state;

  int FinishOpen(uint32_t mediumBytesPerSector, uint64_t start, uint64_t count, char16_t letter);
  // The MFT of the NTFS boot sector at the volume start, if there is one.
  void RegisterBootMft(std::span<const uint8_t> boot, uint32_t mediumBytesPerSector);
  // The MFT whose $MFT record (fix-up applied) lies at `sector`.
  void RegisterMft(std::span<const uint8_t> record, uint64_t sector);
  size_t AddView(const RunList& runs, uint64_t fsStart, uint32_t sectorsPerCluster);
  // The view that finds the records of the file system record `number`,
  // found at `sector`, belongs to; `owned` tells whether a known MFT
  // places it there.
  size_t ViewFor(uint32_t number, uint64_t sector, bool& owned);
  int AnalyseFile(std::span<const uint8_t> record, uint64_t sector);
  void AnalyseFolder(uint32_t expected, size_t view, uint64_t sector);
  // Walks up from folder `parent` of record `self`; `level` gets the folders
  // on the way. Folders on a cycle are lost folders at the top level, so a
  // walk into one counts up to it; `selfOnCycle` tells that `self` is on
  // it. Returns 0 or the read error that ended the walk.
  int ParentChain(uint32_t parent, size_t view, uint32_t self, uint32_t& level, bool& selfOnCycle);
  void AddFolder(uint32_t number, size_t view);
  void WriteLostFolder(uint32_t number);
  uint32_t ContentCheck(std::span<const uint8_t> record, uint64_t fsStart,
                        uint32_t sectorsPerCluster, std::string_view name);
  int EnsureStore();
  // The volume a found file is read back through.
  NtfsVolume VolumeFor(const ScanRecord& record);
  int CopyToFile(const ScanRecord& record, const std::filesystem::path& target);

  NtfsVolume m_volume;
  SectorReader m_reader;
  bool m_open = false;
  int m_openResult = kErrInvalidHandle;
  uint32_t m_sectorsPerCluster = 8;
  std::map<uint64_t, RunList> m_mfts;

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
