#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The scan history file "config": an 8-byte folder counter followed by
// 1120-byte entries, little-endian, no header beyond the counter.
//
//   entry offset size field
//        0        4  disk number of the partition; 0 for an image
//        4        4  zero
//        8        8  start sector of the partition
//       16        8  sector count of the partition
//       24       40  where the full scan stopped: five 64-bit values, each
//                    stored as two 32-bit halves, low half first (ResumePoint)
//       64        8  the partition's state stamp when its scan began: the
//                    free bytes of its drive letter's volume, or a hash of
//                    what it holds (engines/medium_stamp.h); 0 for an image
//       72        8  last-write FILETIME of the image file when its scan
//                    began; 0 for a partition
//       80      520  image path, 260 UTF-16 units, NUL-terminated
//      600      520  the entry's scan-log folder, 260 UTF-16 units
namespace brinvale {

namespace hist {
inline constexpr size_t kCounterBytes = 8;
inline constexpr size_t kDiskNumber = 0;
inline constexpr size_t kZero = 4;
inline constexpr size_t kStartSector = 8;
inline constexpr size_t kSectorCount = 16;
inline constexpr size_t kResume = 24;
inline constexpr size_t kResumeBytes = 40;
inline constexpr size_t kPartitionStamp = 64;
inline constexpr size_t kImageWriteTime = 72;
inline constexpr size_t kImagePath = 80;
inline constexpr size_t kFolder = 600;
inline constexpr size_t kPathUnits = 260;  // UTF-16 units per path field, NUL included
inline constexpr size_t kEntryBytes = 1120;
static_assert(kFolder + 2 * kPathUnits == kEntryBytes);
static_assert(kResume + kResumeBytes == kPartitionStamp);
// A history holds a few entries per scanned medium; a file claiming more
// than this many is damaged, and what follows is not loaded.
inline constexpr size_t kMaxEntries = 10000;
}  // namespace hist

// Where a full scan's pass stood when it ended, so that a later scan of the
// unchanged medium goes on from there. Sector counts are the pass's own
// sectors, measured from the start of the partition.
struct ResumePoint {
  uint64_t rangeStart = 0;  // the free range being read
  uint64_t rangeLength = 0;
  uint64_t doneInRange = 0;  // sectors of that range already read
  uint64_t doneTotal = 0;    // sectors of the whole pass already read
  uint64_t filesFound = 0;   // records of all the scan's engines

  bool operator==(const ResumePoint&) const = default;
};

// The resume point kept at `bytes` (hist::kResumeBytes): field by field,
// each as two little-endian 32-bit halves, low half first.
ResumePoint DecodeResumePoint(std::span<const uint8_t> bytes);
void EncodeResumePoint(const ResumePoint& resume, std::span<uint8_t> bytes);

struct ScanHistoryEntry {
  uint32_t diskNumber = 0;
  uint64_t startSector = 0;
  uint64_t sectorCount = 0;
  ResumePoint resume{};
  uint64_t partitionStamp = 0;  // of a partition; 0 for an image
  uint64_t imageWriteTime = 0;
  std::u16string imagePath;  // at most 259 units
  std::u16string folder;     // at most 259 units

  bool operator==(const ScanHistoryEntry&) const = default;
};

struct HistoryContents {
  uint64_t counter = 0;
  std::vector<ScanHistoryEntry> entries;
};

// Decodes one entry; `bytes` must hold hist::kEntryBytes. A path field
// without a NUL ends after its 260th unit.
ScanHistoryEntry DecodeHistoryEntry(std::span<const uint8_t> bytes);

// Encodes one entry into `bytes` (hist::kEntryBytes). Paths longer than 259
// units are cut at a unit that does not split a surrogate pair; callers
// refuse such paths before they reach an entry.
void EncodeHistoryEntry(const ScanHistoryEntry& entry, std::span<uint8_t> bytes);

// Parses a whole history file: the counter when 8 bytes are there, then
// every whole entry up to hist::kMaxEntries; a trailing partial entry is
// ignored. Never fails; a short buffer gives what it holds.
HistoryContents ParseHistoryBytes(std::span<const uint8_t> bytes);

// The bytes of a history file holding `contents`.
std::vector<uint8_t> SerializeHistory(const HistoryContents& contents);

}  // namespace brinvale
