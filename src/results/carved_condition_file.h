#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/file.h"
#include "results/carved_condition.h"

// The verdicts of a content scan's carved files, kept beside its scan log
// in a file of their own (the 346-byte records stay as they are). Binary,
// little-endian: an 8-byte header "BVCARVE1", then 24-byte entries in the
// order they were checked:
//
//   offset size field
//     0     4  record number in the scan log (1-based)
//     4     1  condition: 0 unchecked, 1 complete, 2 damaged
//     5     1  fault (CarvedFault)
//     6     2  0
//     8     8  the record's start sector (its offset 70), so that an entry
//              never applies to a record it was not made for
//    16     8  complete: the exact length in bytes; unchecked: where the
//              stream's units stop (0 when not known); damaged: 0
//
// Entries are only appended; a later entry for a number replaces an earlier
// one. A trailing partial entry, or one with an unknown condition or fault,
// is ignored.
namespace brinvale {

namespace carved {
inline constexpr size_t kHeaderSize = 8;
inline constexpr size_t kNumber = 0;
inline constexpr size_t kCondition = 4;
inline constexpr size_t kFault = 5;
inline constexpr size_t kStartSector = 8;
inline constexpr size_t kExactLength = 16;
inline constexpr size_t kEntrySize = 24;
static_assert(kExactLength + 8 == kEntrySize);
}  // namespace carved

// The name of the verdict file of the scan log `baseName`: "." + base +
// "_Condition". It begins with "." so that the log finder and the scan-log
// check leave it out: it still grows after the scan is recorded, as files
// are checked on demand.
std::filesystem::path CarvedConditionFileName(std::string_view baseName);

struct CarvedEntry {
  uint32_t number = 0;
  uint64_t startSector = 0;
  CarvedVerdict verdict;
};

// Writes `entry` into 24 bytes.
void EncodeCarvedEntry(const CarvedEntry& entry, std::span<uint8_t> bytes);
// Decodes 24 bytes; nothing for an entry with an unknown condition or fault.
std::optional<CarvedEntry> DecodeCarvedEntry(std::span<const uint8_t> bytes);
// Every valid entry of a whole file's bytes (header included); false when
// the header is not this file's.
bool ParseCarvedConditions(std::span<const uint8_t> bytes, std::vector<CarvedEntry>& out);

// The open verdict file of one content log. Owns its handle; used by one
// thread at a time; not copyable.
class CarvedConditionFile {
 public:
  CarvedConditionFile() = default;
  CarvedConditionFile(const CarvedConditionFile&) = delete;
  CarvedConditionFile& operator=(const CarvedConditionFile&) = delete;
  ~CarvedConditionFile();

  // Opens (or creates) the file at `path` and loads its entries. A file
  // that is not a verdict file is started afresh. Returns 0 or a system
  // error code.
  int Open(const std::filesystem::path& path);
  bool IsOpen() const { return m_file.IsOpen(); }

  // The verdict kept for record `number` starting at `startSector`.
  std::optional<CarvedVerdict> Find(uint32_t number, uint64_t startSector) const;
  // Keeps a verdict (written out by the next Flush, or after 256 more).
  // Returns 0 or the error of writing out.
  int Add(uint32_t number, uint64_t startSector, const CarvedVerdict& verdict);
  // Writes out the pending entries. Returns 0 or a system error code.
  int Flush();
  size_t Count() const { return m_entries.size(); }

 private:
  struct Kept {
    uint64_t startSector = 0;
    CarvedVerdict verdict;
  };
  platform::UniqueHandle m_file;
  uint64_t m_end = 0;  // bytes on file
  std::vector<uint8_t> m_pending;
  std::unordered_map<uint32_t, Kept> m_entries;
};

}  // namespace brinvale
