#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

#include "common/work_crew.h"
#include "device/partition_table.h"
#include "device/sector_reader.h"
#include "engines/engine_factory.h"
#include "engines/fat/fat_quick_listing.h"
#include "results/carved_condition.h"
#include "results/image_partition_engine.h"
#include "results/recovery_engine.h"
#include "results/scan_history_file.h"
#include "results/scan_history_interface.h"
#include "results/scan_log_check.h"

namespace brinvale {

class CProfessionalFatRecovery;
class CProfessionalNtfsRecovery;
class CFileTypeRecovery;
class ReadAhead;

// The full scan of one volume, disk or image, whatever it holds. It runs up
// to four engines on the same medium and presents their results as one:
// first the quick engine of the recognised file system (deleted entries the
// file system still describes, bar 0 to 9 %), then one pass over the medium
// in 64 KiB reads in which every sector goes to the formatted NTFS engine
// (FILE records), the formatted FAT engine (directory sectors) or the
// content engine (everything else), bar 9 to 99 %. With a quick engine that
// maps allocated space the pass reads only the free ranges.
//
// Each engine keeps its own scan log in one numbered scan-log folder; the
// coordinator merges their top levels and searches and routes every
// question about one record to the engine that wrote it, by the engine code
// at offset 2. How far the pass got is recorded in the scan history, so an
// unchanged medium can be scanned on from there.
//
// An image of a whole disk, or a whole disk (no file system at its first
// sector, a partition table there), gets one quick engine per partition of
// the table: all quick
// steps run first, then one pass over every sector of the image that no
// quick step mapped as allocated (free space inside the partitions, the
// partitions whose allocation could not be mapped, gaps, deleted
// partitions and the space after the last one), so nothing is read twice.
//
// After the pass, the check step walks the structure of every file the
// content engine carved (progress 0 to 100 % again, with no sector counts),
// so that each has its verdict when it is listed; a stopped check keeps what
// it checked and the next scan of the same logs goes on with the rest.
//
// Used by one thread at a time; owns its engines; not copyable.
class CProfessionalRecovery final : public IRidiRedazuvoParse,
                                    public IImagePartitionEngine,
                                    public ICarvedConditions {
 public:
  // The disk number recorded for an image source.
  static constexpr int kImageDiskNumber = 128;
  // Bytes read per request of the pass: large enough that the sectors of
  // one request are worth testing on several threads.
  static constexpr uint32_t kReadBytes = 1 << 21;
  // Least time between two recomputations of the time left.
  static constexpr uint32_t kEstimateIntervalMs = 5000;
  // Requests the read-ahead thread keeps ready.
  static constexpr size_t kRequestsAhead = 4;
  // Most threads the pass tests sectors on.
  static constexpr size_t kMaxPassWorkers = 16;

  // Finds earlier scans in `history` and records into it; borrowed, must
  // outlive the engine.
  explicit CProfessionalRecovery(IScanHistory& history);
  ~CProfessionalRecovery() override;

  int OpenImage(const std::filesystem::path& imagePath, char16_t sourceKey) override;
  int OpenPartition(int diskNumber, uint64_t start, uint64_t count, char16_t driveLetter) override;
  int OpenImagePartition(const std::filesystem::path& imagePath, uint64_t start, uint64_t count,
                         char16_t sourceKey) override;
  // The scale given is not used: the quick step reports with scale 9, the
  // pass with 90.
  int SetProgressCallback(ScanProgressCallback scan, CopyProgressCallback copy, void* user,
                          int scale) override;
  // The full scan. Returns 0, the quick step's or the callback's non-zero
  // answer (kCancelled), or an error that kept the scan from starting.
  int Scan(const std::filesystem::path* ignored) override;
  int ListChildren(const ScanRecord* parent, uint32_t depth, RecordList& out) override;
  int CountFiles(const ScanRecord* parent, uint32_t depth, uint32_t& count) override;
  uint64_t GetRecordCount() override;
  int GetRecordPath(const ScanRecord& record, std::string& path, size_t maxChars) override;
  int RecoverRecord(const ScanRecord& record, const std::filesystem::path& target,
                    int separators) override;
  int NextFreeRange(uint64_t& start, uint64_t& length) override;
  int SetSearchCallback(SearchProgressCallback callback, void* user) override;
  // The searches of all engines merged: a content-engine find at the first
  // data sector of a file another engine found, with the same extension
  // (or "jpg" where that file is a "thm"), is left out.
  int Search(const std::string& text, RecordList& out) override;
  int BuildAllocationMap() override;
  int ExtractRecord(const ScanRecord& record, std::filesystem::path& path, uint8_t* buffer,
                    uint64_t& size, ExtractProgressCallback callback, void* user) override;

  // The verdict of a record, asked of the engine that wrote it (by the
  // engine code at offset 2).
  CarvedVerdict CarvedVerdictOf(const ScanRecord& record) override;
  std::optional<CarvedVerdict> KnownVerdictOf(const ScanRecord& record) override;

  // Not part of the interface.

  // Whether the history holds an earlier scan of this unchanged medium
  // whose logs are still what was recorded, which the next Scan continues.
  bool HasEarlierScan() const { return m_earlierScan; }
  // Whether the history holds an earlier scan of this unchanged medium
  // whose logs are not what was recorded (emptied, cut, overwritten, or
  // never checked): it is not continued, and the next Scan forgets it and
  // starts afresh. EarlierLogs() says what is wrong.
  bool EarlierScanDamaged() const { return m_earlierDamaged; }
  const ScanLogVerdict& EarlierLogs() const { return m_earlierLogs; }
  // The earlier scan's entry (valid while HasEarlierScan() or
  // EarlierScanDamaged()).
  const ScanHistoryEntry& EarlierScan() const { return m_entry; }
  // Declines the earlier scan, whole or damaged: its folder is forgotten
  // and the next Scan starts afresh.
  void DeclineEarlierScan();
  // The medium's state stamp taken at open (medium_stamp.h), which the
  // history is searched and the scan recorded with.
  uint64_t OpenStamp() const { return m_stamp; }
  // The threads the pass tests sectors on, the calling one included (0,
  // the default: one per core). With one, every sector is tested as it is
  // offered. The records found, and the order they are logged in, are the
  // same with any number.
  void SetPassWorkers(size_t workers) { m_passWorkers = workers; }
  size_t PassWorkers() const { return WorkCrew::MembersFor(m_passWorkers, kMaxPassWorkers); }
  // Milliseconds the last Scan spent in its check step of carved files.
  uint32_t CheckStepMs() const { return m_checkStepMs; }
  // The folder that holds this scan's logs (known once Scan has begun).
  const std::filesystem::path& LogFolder() const { return m_folder; }
  // Where previews go (default: the scan-log base folder).
  void SetPreviewFolder(const std::filesystem::path& folder);
  // The quick engine, when the medium holds a recognised file system (the
  // first partition's, on an image of a whole disk).
  IRidiRedazuvoParse* QuickEngine() {
    return m_quicks.empty() ? nullptr : m_quicks.front().engine.get();
  }
  // The partition table read from an image of a whole disk (no scheme for
  // a volume, a disk or an image that holds one volume).
  const PartitionTable& Partitions() const { return m_table; }
  // One quick step per partition of such an image, one for a volume.
  size_t QuickStepCount() const { return m_quicks.size(); }
  // The quick engine of step `index` (null when its file system was not
  // recognised or its scan failed) and where its volume starts, in sectors
  // from the start of the medium.
  IRidiRedazuvoParse* QuickEngineAt(size_t index) { return m_quicks.at(index).engine.get(); }
  uint64_t QuickStepStart(size_t index) const { return m_quicks.at(index).start; }
  // The stretches the pass of the last Scan covered, in sectors from the
  // medium start, ascending and disjoint.
  struct SectorRange {
    uint64_t start = 0;
    uint64_t length = 0;
  };
  const std::vector<SectorRange>& PassRanges() const { return m_passRanges; }
  CProfessionalFatRecovery& FatEngine() { return *m_fat; }
  CProfessionalNtfsRecovery& NtfsEngine() { return *m_ntfs; }
  CFileTypeRecovery& ContentEngine() { return *m_content; }

 private:
  struct Pass;
  // A quick engine and the stretch its volume covers, in the coordinator's
  // sectors from the medium start.
  struct QuickStep {
    std::unique_ptr<IRidiRedazuvoParse> engine;
    uint64_t start = 0;
    uint64_t count = 0;
    bool mapped = false;  // its allocation map was built
  };
  IRidiRedazuvoParse* EngineFor(const ScanRecord& record);
  IRidiRedazuvoParse* QuickFor(const ScanRecord& record);
  // The quick engines that were made, in step order.
  std::vector<IRidiRedazuvoParse*> QuickEngines() const;
  // The quick engines, then the formatted FAT, formatted NTFS and content
  // engines: the order of the merged top level.
  std::vector<IRidiRedazuvoParse*> AllEngines() const;
  // On an image whose first sector holds no file system: one quick step per
  // partition of its table.
  void AddImagePartitionSteps(const std::filesystem::path& path);
  // The same on a whole disk whose first sector holds no file system.
  void AddDiskPartitionSteps();
  // The quick engine of a volume (one quick step, at the medium's start);
  // null for the partitions of a disk or disk image. The formatted FAT
  // engine's entries are merged into the folders of a volume's quick FAT
  // engine only.
  IRidiRedazuvoParse* SingleQuick() const;
  // Whether `record` is a folder of the quick FAT engine's that the
  // formatted FAT engine may have filed entries in.
  bool HoldsMergedEntries(const ScanRecord& record) const;
  // Files of the formatted FAT engine's below the quick engine's folder
  // `folder` (null: all of them).
  int CountMergedFiles(const ScanRecord* folder, uint32_t& count);
  // A quick folder recovered with the formatted engine's entries in it.
  int RecoverMergedFolder(const ScanRecord& folder, const std::filesystem::path& target,
                          int separators);
  void FinishOpen();
  // Checks the earlier scan's logs against what was recorded with it.
  void CheckEarlierLogs();
  void SetLogFolders(const std::filesystem::path& folder);
  // What the quick engine is made with.
  EngineSetup QuickSetup() const;

  // The steps of Scan, in order.
  // The earlier scan's folder when resuming, else a new numbered one.
  void ChooseLogFolder(bool resuming);
  // The name of the earlier scan's log whose name holds `prefix`; false
  // when there is none or the scan is not resumed.
  bool FindEarlierLog(bool resuming, std::string_view prefix, std::filesystem::path& name) const;
  // Runs (or reloads) every quick engine and learns whether its free
  // ranges can be used. Returns 0, or kCancelled after a stop.
  int RunQuickStep(bool resuming, Pass& pass);
  // Opens (or reloads) the logs of the content, formatted FAT and formatted
  // NTFS engines.
  int OpenPassEngines(bool resuming);
  // Tells the formatted FAT engine what the quick FAT engine listed.
  void ShareQuickListing();
  // The sectors the pass covers and where it begins.
  void PlanPass(Pass& pass);
  void ApplyResumePoint(Pass& pass);
  int RunPass(Pass& pass);
  // The folder passes of the FAT and NTFS engines and the content log
  // flush: also after a stop, so what was found is browsable.
  void FinishEngines();
  void RecordResumePoint(const Pass& pass);

  // A second reader on the medium, read on its own thread; null when it
  // cannot be had.
  std::unique_ptr<ReadAhead> MakeReadAhead();
  // Offers `count` bytes of the buffer, read at absolute sector `first`;
  // returns the sectors stepped beyond the buffer, or kCancelled.
  int64_t Dispatch(Pass& pass, const uint8_t* data, size_t count, uint64_t first);
  // Tests the `sectors` sectors at `data` on the crew: Pass::marks.
  void MarkChunk(Pass& pass, const uint8_t* data, uint64_t sectors);
  // Hands sector `i` of the buffer to the engine that takes it; `bits`
  // are its marks, or -1 when its tests have not been made. Sets `step`;
  // returns kCancelled after a stop, else 0.
  int OfferSector(Pass& pass, const uint8_t* data, uint64_t sectors, uint64_t i, uint64_t first,
                  uint32_t recordSize, int bits, uint64_t& step);
  int ReportPass(Pass& pass);

  IScanHistory& m_history;
  char16_t m_letter = 0;
  uint32_t m_bytesPerSector = 512;
  int m_diskNumber = -1;
  uint64_t m_start = 0;
  uint64_t m_count = 0;
  std::filesystem::path m_imagePath;
  SectorReader m_reader;
  int m_openResult = kErrInvalidHandle;

  std::unique_ptr<CProfessionalFatRecovery> m_fat;
  std::unique_ptr<CProfessionalNtfsRecovery> m_ntfs;
  std::unique_ptr<CFileTypeRecovery> m_content;
  std::vector<QuickStep> m_quicks;
  PartitionTable m_table;
  std::vector<SectorRange> m_passRanges;
  FatQuickListing m_quickListing;

  ScanProgressCallback m_scanCallback = nullptr;
  CopyProgressCallback m_copyCallback = nullptr;
  void* m_user = nullptr;
  SearchProgressCallback m_searchCallback = nullptr;
  void* m_searchUser = nullptr;

  uint64_t m_stamp = 0;
  uint32_t m_checkStepMs = 0;
  size_t m_passWorkers = 0;
  std::unique_ptr<WorkCrew> m_crew;  // while a pass runs on more than one thread
  bool m_earlierScan = false;
  bool m_earlierDamaged = false;
  ScanLogVerdict m_earlierLogs{};
  ScanHistoryEntry m_entry{};
  std::filesystem::path m_folder;
  std::filesystem::path m_previewFolder;
};

}  // namespace brinvale
