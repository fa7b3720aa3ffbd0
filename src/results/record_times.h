#pragma once

#include <cstdint>
#include <filesystem>

#include "platform/file.h"
#include "results/scan_record.h"

namespace brinvale {

// The times a recovered file or folder is given: those of its record, in
// UTC. FAT stores the wall-clock time of the machine that wrote the entry,
// with no zone: it is taken as this machine's local time. NTFS stores UTC.
// A time the record does not have (0, as for files found by content) is 0.
struct RecordTimes {
  uint64_t created = 0;
  uint64_t accessed = 0;
  uint64_t written = 0;
};
RecordTimes TimesOfRecord(const ScanRecord& record);

// Gives `path` the times of `record`; a record without times leaves the
// path as it is (the time of recovery). Returns the system's result. With a
// write-behind in place on this thread, the times are set once it has
// written everything (WriteBehind::SetTimesAtEnd): files still to be made
// in a folder would move them.
int ApplyRecordTimes(const ScanRecord& record, const std::filesystem::path& path);
// The same on an open file, after its last write.
int ApplyRecordTimes(const ScanRecord& record, const platform::UniqueHandle& file);

}  // namespace brinvale
