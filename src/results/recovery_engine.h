#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "common/error_codes.h"
#include "results/scan_record.h"

namespace brinvale {

// Scan progress: user data, percent, scale, seconds left (-1: no estimate),
// current sector, total sectors, files found, and a reserved value engines
// pass as 0. The percent shown is percent x scale / 100. Returns 0 to go on,
// kCancelled to stop.
using ScanProgressCallback = int (*)(void* user, int percent, int scale, int secondsLeft,
                                     uint64_t currentSector, uint64_t totalSectors,
                                     uint64_t filesFound, int reserved);

// Recovery progress while RecoverRecord writes a file: user data, percent,
// scale, the file's error code (0 success), the file's target path. Percent
// 100 reports the finished file. Returns 0 or kCancelled.
using CopyProgressCallback = int (*)(void* user, int percent, int scale, int error,
                                     const std::filesystem::path& target);

// Preview extraction progress: user data, percent, current error code.
// A non-zero result stops the extraction.
using ExtractProgressCallback = int (*)(void* user, int percent, int error);

// Search progress: user data, percent of the scan log read, and a reserved
// value passed as 0. Returns 0 to go on, kCancelled to stop.
using SearchProgressCallback = int (*)(void* user, int percent, int reserved);

using RecordList = std::vector<ScanRecord>;

// The percent a receiver shows for `percent` under `scale`.
inline int ScaledPercent(int percent, int scale) { return percent * scale / 100; }

// The interface of every recovery engine, in its fixed slot order. An
// engine is made closed, opened once (OpenImage or OpenPartition), given its
// callbacks, scanned once, queried any number of times, then destroyed. It
// is used by one thread at a time. Every operation returns 0, a system error
// code, or kCancelled.
class IRidiRedazuvoParse {
 public:
  IRidiRedazuvoParse() = default;
  IRidiRedazuvoParse(const IRidiRedazuvoParse&) = delete;
  IRidiRedazuvoParse& operator=(const IRidiRedazuvoParse&) = delete;

  // Slot 0. `sourceKey` is the letter (or image tag) written into records.
  virtual int OpenImage(const std::filesystem::path& imagePath, char16_t sourceKey) = 0;
  // Slot 1. `start` is absolute on the disk; `driveLetter` 0 when none.
  virtual int OpenPartition(int diskNumber, uint64_t start, uint64_t count,
                            char16_t driveLetter) = 0;
  // Slot 2. Either callback may be null; `scale` 100 when the engine runs
  // alone, 9 as the first step of a full scan.
  virtual int SetProgressCallback(ScanProgressCallback scan, CopyProgressCallback copy, void* user,
                                  int scale) = 0;
  // Slot 3. With the name of an existing scan log, loads it instead.
  virtual int Scan(const std::filesystem::path* existingLog) = 0;
  // Slot 4. `parent` null lists the top level (then `depth` must be 0, else
  // 87); `depth` is the high half of the parent's folder key.
  virtual int ListChildren(const ScanRecord* parent, uint32_t depth, RecordList& out) = 0;
  // Slot 5. The number of files below `parent`, with the rules of slot 4.
  virtual int CountFiles(const ScanRecord* parent, uint32_t depth, uint32_t& count) = 0;
  // Slot 6.
  virtual uint64_t GetRecordCount() = 0;
  // Slot 7. The record's folder path (UTF-8), at most `maxChars` long.
  virtual int GetRecordPath(const ScanRecord& record, std::string& path, size_t maxChars) = 0;
  // Slot 8. `separators` counts "\" and "/" in the target folder, not its
  // last character.
  virtual int RecoverRecord(const ScanRecord& record, const std::filesystem::path& target,
                            int separators) = 0;
  // Slot 9. Returns 1 with the next free range at or after `start`, or 0
  // when the engine does not map free space.
  virtual int NextFreeRange(uint64_t& start, uint64_t& length) = 0;
  // Slot 10.
  virtual int SetSearchCallback(SearchProgressCallback callback, void* user) = 0;
  // Slot 11. `text` is UTF-8.
  virtual int Search(const std::string& text, RecordList& out) = 0;
  // Slot 12.
  virtual int BuildAllocationMap() = 0;
  // Slot 13. Copies one file for preview: to a file whose path comes back in
  // `path`, or into `buffer` up to `size` bytes; `size` returns the bytes
  // copied.
  virtual int ExtractRecord(const ScanRecord& record, std::filesystem::path& path, uint8_t* buffer,
                            uint64_t& size, ExtractProgressCallback callback, void* user) = 0;
  // Slot 14.
  virtual ~IRidiRedazuvoParse() = default;
};

// An engine whose every slot does nothing and answers 0; engines derive
// from it and implement the slots they have.
class CNullRecoveryEngine : public IRidiRedazuvoParse {
 public:
  int OpenImage(const std::filesystem::path&, char16_t) override { return kOk; }
  int OpenPartition(int, uint64_t, uint64_t, char16_t) override { return kOk; }
  int SetProgressCallback(ScanProgressCallback, CopyProgressCallback, void*, int) override {
    return kOk;
  }
  int Scan(const std::filesystem::path*) override { return kOk; }
  int ListChildren(const ScanRecord*, uint32_t, RecordList&) override { return kOk; }
  int CountFiles(const ScanRecord*, uint32_t, uint32_t& count) override {
    count = 0;
    return kOk;
  }
  uint64_t GetRecordCount() override { return 0; }
  int GetRecordPath(const ScanRecord&, std::string&, size_t) override { return kOk; }
  int RecoverRecord(const ScanRecord&, const std::filesystem::path&, int) override { return kOk; }
  int NextFreeRange(uint64_t&, uint64_t&) override { return 0; }
  int SetSearchCallback(SearchProgressCallback, void*) override { return kOk; }
  int Search(const std::string&, RecordList&) override { return kOk; }
  int BuildAllocationMap() override { return kOk; }
  int ExtractRecord(const ScanRecord&, std::filesystem::path&, uint8_t*, uint64_t& size,
                    ExtractProgressCallback, void*) override {
    size = 0;
    return kOk;
  }
};

}  // namespace brinvale
