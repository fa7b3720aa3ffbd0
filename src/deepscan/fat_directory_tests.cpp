#include "deepscan/fat_directory_tests.h"

#include <algorithm>
#include <string_view>

#include "common/bytes.h"
#include "deepscan/fat_entry_times.h"

namespace brinvale {
namespace {

// A 32-byte directory entry:
//   0  8  base name (byte 0: 0xE5 deleted, 0x00 end of folder)
//   8  3  extension
//  11  1  attributes
//  13  1  creation 10-ms count; in a long-name part, the short name's checksum
//  14  2  creation time        16  2  creation date     18  2  access date
//  20  2  first cluster, high word
//  22  2  last-write time      24  2  last-write date
//  26  2  first cluster, low word
//  28  4  size in bytes
// A long-name part (attributes 0x0F) keeps its sequence number in byte 0
// (bit 0x40 marks the last part) and UTF-16 name text in the other fields.
constexpr size_t kEntrySize = 32;
constexpr size_t kNameSize = 11;
constexpr size_t kAttributes = 11;
constexpr size_t kChecksum = 13;
constexpr size_t kClusterHigh = 20;
constexpr size_t kClusterLow = 26;
constexpr size_t kSize = 28;

constexpr uint8_t kDeleted = 0xE5;
constexpr uint8_t kReadOnly = 0x01;
constexpr uint8_t kVolumeLabel = 0x08;
constexpr uint8_t kLongName = 0x0F;
constexpr uint8_t kFolder = 0x10;
constexpr uint8_t kArchive = 0x20;
constexpr uint8_t kLastPartFlag = 0x40;

// 1 January 1990 00:00 and 1 January 2050 00:00 as FILETIME values.
constexpr uint64_t kEarliestTime = 0x1B41E2A18D64000;
constexpr uint64_t kLatestTime = 0x1F7630BE39D8000;

bool IsFolderEntry(std::span<const uint8_t> e) {
  return (e[kAttributes] & kFolder) != 0 && LoadLe32(e, kSize) == 0;
}

bool InTimeWindow(uint64_t t) { return t >= kEarliestTime && t <= kLatestTime; }

// Characters that never stand in a live or deleted short name as written by
// a conforming system: controls, lower-case ASCII, path punctuation and ".".
bool IsForbiddenNameByte(uint8_t b) {
  if (b < 0x20) return true;
  if (b >= 'a' && b <= 'z') return true;
  return std::string_view("\\/:*?\"<>|.").find(char(b)) != std::string_view::npos;
}

// No non-blank byte may follow a blank inside one field (base or extension).
bool BlanksOnlyTrail(std::span<const uint8_t> field) {
  auto blank = std::find(field.begin(), field.end(), uint8_t(' '));
  return std::all_of(blank, field.end(), [](uint8_t b) { return b == ' '; });
}

// The short-entry rules of a directory sector beyond IsPlausibleEntry.
bool ShortEntryLooksWritten(std::span<const uint8_t> e) {
  const uint8_t attributes = e[kAttributes];
  if (attributes != kVolumeLabel && FatEntryTimes(e).creation == 0) return false;
  for (size_t k = 0; k < kNameSize; ++k) {
    if (e[k] < 0x20 || e[k] == '.') return false;
  }
  // A volume label is one 11-byte text and may hold blanks between words
  // ("NEW VOLUME"); file and folder names are padded with trailing blanks.
  if (attributes != kVolumeLabel &&
      (!BlanksOnlyTrail(e.subspan(0, 8)) || !BlanksOnlyTrail(e.subspan(8, 3)))) {
    return false;
  }
  // Bytes above 0x7F are characters of the OEM code page: a single-byte
  // page (850: 0x90 is "É") writes them one at a time, a double-byte page
  // in pairs, so either stands in a written name.
  return true;
}

// The entries after a long-name part at `index`: further parts of the same
// run carry its checksum, and the short entry that ends the run is deleted
// or matches that checksum.
bool LongNameRunHolds(std::span<const uint8_t> sector, size_t index, size_t entryCount) {
  const uint8_t checksum = sector[index * kEntrySize + kChecksum];
  const size_t last = std::min(entryCount - 1, index + size_t(kMaxLongNameParts));
  for (size_t j = index + 1; j <= last; ++j) {
    std::span<const uint8_t> e =
        sector.subspan(j * kEntrySize, std::min(2 * kEntrySize, sector.size() - j * kEntrySize));
    if (!IsPlausibleEntry(e)) return false;
    if (e[kAttributes] == kLongName) {
      if (e[kChecksum] != checksum) return false;
      continue;
    }
    return e[0] == kDeleted || ShortNameChecksum(e.first<kNameSize>()) == checksum;
  }
  // The run goes on past the end of the sector, where it cannot be followed;
  // a run that is still going after 20 more entries is longer than any name.
  return last < index + size_t(kMaxLongNameParts);
}

}  // namespace

uint8_t ShortNameChecksum(std::span<const uint8_t, 11> shortName) {
  uint8_t sum = 0;
  for (uint8_t b : shortName) sum = uint8_t(((sum & 1) << 7) + (sum >> 1) + b);
  return sum;
}

bool IsPlausibleEntry(std::span<const uint8_t> entries) {
  if (entries.size() < kEntrySize) return false;
  std::span<const uint8_t> e = entries.first(kEntrySize);
  const uint8_t attributes = e[kAttributes];
  const uint32_t size = LoadLe32(e, kSize);
  const uint16_t clusterHigh = LoadLe16(e, kClusterHigh);
  const uint16_t clusterLow = LoadLe16(e, kClusterLow);
  const bool deleted = e[0] == kDeleted;
  const bool folder = (attributes & kFolder) != 0;
  const bool longName = attributes == kLongName;
  const bool label = attributes == kVolumeLabel;

  // 1. "." followed by "..": the start of a folder.
  if (entries.size() >= 2 * kEntrySize && e[0] == '.' && IsFolderEntry(e)) {
    std::span<const uint8_t> next = entries.subspan(kEntrySize, kEntrySize);
    if (next[0] == '.' && next[1] == '.' && IsFolderEntry(next)) return true;
  }
  // 2. A file without data has no first cluster.
  if (!folder && size == 0 && (clusterHigh != 0 || clusterLow != 0)) return false;
  // 3. A volume label owns no data; no other attribute mixes in the label bit.
  if (label && (size != 0 || clusterHigh != 0 || clusterLow != 0)) return false;
  if ((attributes & kVolumeLabel) != 0 && !label && !longName) return false;
  // 4. Folder plus read-only, or bits that FAT does not define.
  if ((attributes & (kFolder | kReadOnly)) == (kFolder | kReadOnly) || attributes >= 64) {
    return false;
  }
  // 5. A long name has at most 20 parts.
  if (longName && !deleted && (e[0] & ~kLastPartFlag) > kMaxLongNameParts) return false;
  // 6. Live files carry time stamps of this era.
  if (!longName && !label && !deleted && !folder) {
    const FatFileTimes t = FatEntryTimes(e);
    if (!InTimeWindow(t.creation) || !InTimeWindow(t.lastAccess) || !InTimeWindow(t.lastWrite)) {
      return false;
    }
  }
  // 7. Short names hold upper-case text without path punctuation.
  if (!longName && !label) {
    for (size_t k = 0; k < kNameSize; ++k) {
      if (IsForbiddenNameByte(e[k])) return false;
    }
  }
  // 8. Sizes and clusters where the kind allows none; the remaining kinds
  // need the folder or archive bit.
  if (folder && !deleted && size != 0) return false;
  if (longName && clusterLow != 0) return false;
  if (label || longName) return true;
  return (attributes & (kFolder | kArchive)) != 0;
}

bool IsDotDirectoryStart(std::span<const uint8_t> sector) {
  if (sector.size() < 2 * kEntrySize) return false;
  std::span<const uint8_t> dot = sector.first(kEntrySize);
  std::span<const uint8_t> dotDot = sector.subspan(kEntrySize, kEntrySize);
  return dot[0] == '.' && IsFolderEntry(dot) && dotDot[0] == '.' && dotDot[1] == '.' &&
         IsFolderEntry(dotDot);
}

bool IsDirectorySector(std::span<const uint8_t> sector) {
  if (sector.size() < kEntrySize) return true;
  const size_t entryCount = sector.size() / kEntrySize;
  for (size_t i = 0; i < entryCount; ++i) {
    const size_t at = i * kEntrySize;
    std::span<const uint8_t> e = sector.subspan(at, kEntrySize);
    if (e[0] == 0) {
      // The end of the folder: only zero fill may follow.
      if (i == 0) return false;
      return std::all_of(sector.begin() + ptrdiff_t(at), sector.end(),
                         [](uint8_t b) { return b == 0; });
    }
    if (!IsPlausibleEntry(sector.subspan(at, std::min(2 * kEntrySize, sector.size() - at)))) {
      return false;
    }
    // A 16-byte pattern repeated across the entry is filler, not an entry.
    if (std::equal(e.begin() + 1, e.begin() + 15, e.begin() + 17)) return false;
    if (e[kAttributes] == kLongName) {
      if (!LongNameRunHolds(sector, i, entryCount)) return false;
    } else if (!ShortEntryLooksWritten(e)) {
      return false;
    }
  }
  return true;
}

}  // namespace brinvale
