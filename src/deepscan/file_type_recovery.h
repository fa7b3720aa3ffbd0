#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "common/work_crew.h"
#include "deepscan/sizing_context.h"
#include "device/sector_reader.h"
#include "results/carved_condition.h"
#include "results/carved_condition_file.h"
#include "results/image_partition_engine.h"
#include "results/recovery_engine.h"
#include "results/scan_log_store.h"

namespace brinvale {

// The content ("deep") scan's engine: it keeps the files found by their
// first bytes, with no file-system metadata behind them. It does not walk a
// volume itself. The full-scan coordinator reads the medium and offers each
// sector that is no file-system metadata to RecordFoundFile, which
// identifies and sizes a file starting there, writes one record into this
// engine's scan log and says how many sectors the coordinator steps over.
// Afterwards the engine answers browsing, search, recovery and preview for
// its flat list of found files (no folders).
//
// Driving it (coordinator):
//   CFileTypeRecovery content;
//   content.OpenPartition(disk, start, count, letter);        // a new log, or
//   content.OpenForDisk(bps, disk, "File_Type_...", letter);  // resume that log
//   content.SetProgressCallback(scan, copy, user, 90);        // before any offer
//   for each absolute sector s that is neither NTFS nor FAT metadata:
//     uint64_t step = 1;
//     int rc = content.RecordFoundFile(sectorBytes, s, {done, total, secondsLeft},
//                                      reader, step, filesFound);
//     if (rc == kCancelled) stop the whole scan;
//     s += step;  // step >= 1 whatever rc is; steps past the chunk skip on
//
// Records: engine code 4, file, content check 1, entry key 0, bytes per
// cluster 0xFFFFFFFF, size from the sizer, offset 70 the absolute start
// sector, name "<start sector>.<ext>"; all filed under folder key 0.
//
// After the scan, the check step walks the structure of every carved file
// of a format with a rule (CheckCarvedFiles) and keeps each verdict in the
// log's verdict file (carved_condition_file.h); a file it has not reached is
// checked when its verdict is asked for. Recovery and preview copy a
// complete file at its exact length, any other at the sizer's size.
//
// Slots 9 and 12 (free ranges, allocation map) do nothing, as the null
// engine's. Owns its reader, its scan log store and its sizing context.
// Used by one thread at a time; not copyable.
class CFileTypeRecovery final : public CNullRecoveryEngine,
                                public IImagePartitionEngine,
                                public ICarvedConditions {
 public:
  // Where the scan stands when a sector is offered; the sizers pass these
  // to the progress callback while they read on through a long file.
  struct ScanPosition {
    uint64_t sectorsScanned = 0;  // sectors the pass has done before this one
    uint64_t totalSectors = 0;    // sectors the pass covers
    int secondsLeft = -1;         // -1: no estimate
  };

  CFileTypeRecovery();
  ~CFileTypeRecovery() override;

  // Slot 0: opens the image (512-byte sectors) and creates the log
  // "File_Type_0_<local time>". Returns the reader's result, else the log's.
  int OpenImage(const std::filesystem::path& imagePath, char16_t sourceKey) override;
  // Slot 1: opens whole disk `diskNumber` (the sector size from the disk)
  // and creates the log "File_Type_<start>_<local time>". Returns the
  // reader's result, else the log's.
  int OpenPartition(int diskNumber, uint64_t start, uint64_t count, char16_t driveLetter) override;
  int OpenImagePartition(const std::filesystem::path& imagePath, uint64_t start, uint64_t count,
                         char16_t sourceKey) override;
  // Slot 2: also what the sizers report progress to.
  int SetProgressCallback(ScanProgressCallback scan, CopyProgressCallback copy, void* user,
                          int scale) override;
  // Slot 3: the coordinator drives the scan, so null does nothing. With the
  // name (or path) of an existing content log, that log is opened in place
  // of the current one (its records are listed at once; new finds follow
  // them). Returns 0 or the log's open error.
  int Scan(const std::filesystem::path* existingLog) override;
  // Slot 4: flushes pending records, then the flat list (files by name).
  // With a parent or a non-zero depth the list is empty (there are no
  // folders) and 0 is returned.
  int ListChildren(const ScanRecord* parent, uint32_t depth, RecordList& out) override;
  // Slot 5: the number of found files under the same rules.
  int CountFiles(const ScanRecord* parent, uint32_t depth, uint32_t& count) override;
  // Slot 6: records in the log; 0 without one.
  uint64_t GetRecordCount() override;
  // Slot 7: 0 with an empty path: the list has no folders.
  int GetRecordPath(const ScanRecord& record, std::string& path, size_t maxChars) override;
  // Slot 8: copies the record's size in bytes (a complete carved file's
  // exact length), read sequentially from its start sector (offset 70), to
  // `target` (created or truncated; its folder is created). The copy
  // callback gets (percent, 100, 0, target) after each 64 KiB and, for a
  // failed file, (100, 100, error, target). Returns 0, the
  // read or write error (30 when no sector arrives, also past the end of the
  // medium), or the callback's non-zero answer (kCancelled).
  int RecoverRecord(const ScanRecord& record, const std::filesystem::path& target,
                    int separators) override;
  // Slot 10: 87 without a log.
  int SetSearchCallback(SearchProgressCallback callback, void* user) override;
  // Slot 11: the log's search by extension filter; 0 and nothing without a log.
  int Search(const std::string& text, RecordList& out) override;
  // Slot 13: documents and archives to "<preview folder>/<record's name>",
  // audio and video to "tmp.avi", pictures to "tmp.jpg"; anything else into
  // `buffer`, at most `size` bytes. `size` returns the bytes placed in the
  // buffer. A failed preview file is deleted and `path` emptied.
  int ExtractRecord(const ScanRecord& record, std::filesystem::path& path, uint8_t* buffer,
                    uint64_t& size, ExtractProgressCallback callback, void* user) override;

  // For the coordinator. Opens whole disk `diskNumber` with `bytesPerSector`
  // and the log `logName` in the scan-log folder (created, or opened with
  // its records when it exists; empty: a new "File_Type_0_<time>" log).
  // Returns the reader's result, else the log's.
  int OpenForDisk(uint32_t bytesPerSector, int diskNumber, const std::filesystem::path& logName,
                  char16_t driveLetter);
  // The same on an image file. An image counts 512-byte sectors; with
  // another `bytesPerSector` its sector count is taken in that size.
  int OpenForImage(uint32_t bytesPerSector, const std::filesystem::path& logName,
                   char16_t sourceKey, const std::filesystem::path& imagePath);

  // Offers the candidate sector `sector` (absolute), whose first bytes are
  // `candidate` (normally one sector; more when the caller has them). On a
  // find it appends the record, files it under key 0 and adds 1 to
  // `filesFound`. `sectorsToStep` is always at least 1: 1 when nothing was
  // found and for formats sized from a header length or an inner directory
  // (compound documents, WAV, AVI, ASF, SWF, BMP, CAB, TrueType, ICO), so
  // that the sectors inside them are still offered; otherwise the file's
  // size in sectors, rounded up. A size that runs past the end of the
  // medium is cut at its end. The sizers read the medium through `reader`
  // (borrowed for the call) and report progress with `position`.
  // Returns 0; 87 when nothing is recognised (or the format is never
  // reported, as executables, or the sector size is unusable); kCancelled when the progress
  // callback stopped the sizing (nothing recorded; the coordinator stops the scan); 6 without an
  // open log; 8 when memory ran out.
  int RecordFoundFile(std::span<const uint8_t> candidate, uint64_t sector,
                      const ScanPosition& position, SectorReader& reader, uint64_t& sectorsToStep,
                      uint64_t& filesFound);
  // The same reading through the engine's own reader.
  int RecordFoundFile(std::span<const uint8_t> candidate, uint64_t sector,
                      const ScanPosition& position, uint64_t& sectorsToStep, uint64_t& filesFound);
  // What offering a sector that no detector can accept (MayStartFile is
  // false for it) leaves behind, without the offer: no record, but the
  // stream flags a transport-stream detector reads are those of a sector
  // that matched nothing. A pass that tests sectors ahead calls it for
  // such sectors instead of RecordFoundFile.
  void PassUnmatchedSector();

  // Where logs are created (default: the scan history's current folder)
  // and where previews go (default: the scan-log base folder).
  void SetScanLogFolder(const std::filesystem::path& folder) { m_logFolder = folder; }
  void SetPreviewFolder(const std::filesystem::path& folder) { m_previewFolder = folder; }
  // Opens on a reader made elsewhere (tests, tools, fuzzing) and creates a
  // new log, or opens `logName` when given.
  int OpenReader(SectorReader reader, uint32_t bytesPerSector, char16_t sourceKey,
                 const std::filesystem::path& logName = {});

  // Writes the records still buffered; 0 without a log.
  int FlushLog();

  // The check step: walks every carved file of the log that has no verdict
  // yet, in the order of their start sectors, reading each once through the
  // engine's reader, and keeps the verdicts. `progress` (may be null) gets
  // (user, percent of the files done, 100, -1, 0, 0, 0, 0) after each file;
  // a non-zero answer stops the step with the verdicts so far kept (the next
  // call goes on from there) and is returned. Returns 0, that answer, or
  // the error of listing the log or writing the verdicts. With a `crew` of
  // more than one, on a medium that can be read from several threads, the
  // files of a batch are walked side by side; the verdicts are kept, and
  // reported, in the same order.
  int CheckCarvedFiles(ScanProgressCallback progress, void* user, WorkCrew* crew = nullptr);
  // The verdict of a carved record of this log: kept, or checked now and
  // kept. kUnchecked for other records.
  CarvedVerdict CarvedVerdictOf(const ScanRecord& record) override;
  std::optional<CarvedVerdict> KnownVerdictOf(const ScanRecord& record) override;
  const CarvedConditionFile* Conditions() const { return m_conditions.get(); }
  uint32_t BytesPerSector() const { return m_bytesPerSector; }
  uint64_t StartSector() const { return m_start; }
  uint64_t SectorCount() const { return m_count; }
  SectorReader& Reader() { return m_reader; }
  const ScanLogStore* Store() const { return m_store.get(); }

 private:
  // A fresh store, context and log after the reader was opened (or failed
  // to open with `readerResult`).
  int FinishOpen(int readerResult, const std::filesystem::path& logName, uint64_t nameSector);
  int OpenStore(const std::filesystem::path& logName, uint64_t nameSector);
  void AppendFound(uint64_t sector, uint64_t size, const std::string& name);

  // Copies the record's data chunk by chunk to `sink`(bytes, length),
  // which answers 0, a stop value, or kBufferFull; `progress`(percent)
  // after each chunk may stop it.
  template <typename Sink, typename Progress>
  int CopyData(const ScanRecord& record, Sink sink, Progress progress);

  SectorReader m_reader;
  std::unique_ptr<ScanLogStore> m_store;
  std::unique_ptr<CarvedConditionFile> m_conditions;
  std::unique_ptr<SizingContext> m_sizing;
  std::filesystem::path m_logFolder;
  std::filesystem::path m_previewFolder;
  uint32_t m_bytesPerSector = 512;
  uint64_t m_start = 0;
  uint64_t m_count = 0;
  int m_diskNumber = -1;
  char16_t m_sourceKey = 0;

  ScanProgressCallback m_progress = nullptr;
  CopyProgressCallback m_copyProgress = nullptr;
  void* m_user = nullptr;
  int m_scale = 100;
  SearchProgressCallback m_searchCallback = nullptr;
  void* m_searchUser = nullptr;
};

// The sectors the coordinator steps after a find of `typeCode` sized
// `size` bytes: 1 for formats sized from a header length or an inner
// directory, else the size in whole sectors; never 0.
uint64_t SectorsToStep(int typeCode, uint64_t size, uint32_t bytesPerSector);

}  // namespace brinvale
