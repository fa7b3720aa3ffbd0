#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "results/recovery_engine.h"
#include "results/scan_record.h"

// The condition of a found file: whether its structure was walked to its
// end and found whole, with the file's exact length, or found broken, or
// not checked (no rule for its format, or not reached yet). A file found by
// its content is checked over its carved extent; a file found through its
// file system over the bytes recovery reads for it, its recorded size
// being its length.
namespace brinvale {

enum class CarvedCondition : uint8_t {
  kUnchecked = 0,  // no rule for the format, or the check has not reached it
  kComplete = 1,   // structure walked to its end and checked: exactLength is the file
  kDamaged = 2,    // structure broken: see the fault
};

// Why a carved file is damaged.
enum class CarvedFault : uint8_t {
  kNone = 0,
  kRunsOff = 1,       // a box, chunk or section runs past the carved extent (cut short)
  kChecksum = 2,      // a CRC or checksum that fails
  kBadStructure = 3,  // a field that cannot be, a marker or block out of place
  kUnreadable = 4,    // the medium could not be read
};

struct CarvedVerdict {
  CarvedCondition condition = CarvedCondition::kUnchecked;
  CarvedFault fault = CarvedFault::kNone;
  uint64_t exactLength = 0;  // kComplete only: the file's own length in bytes
  // kUnchecked only, else 0: where the units of a stream that states no
  // length of its own (no end code, no count) stop, when nothing after them
  // in the extent resumes the stream. Whether the last unit is whole cannot
  // be told (a cut copy looks the same), hence not complete; but the bytes
  // after it are none of the stream's. 0 when not known.
  uint64_t streamEnd = 0;

  bool operator==(const CarvedVerdict&) const = default;
};

inline CarvedVerdict CompleteVerdict(uint64_t length) {
  return {CarvedCondition::kComplete, CarvedFault::kNone, length};
}
inline CarvedVerdict DamagedVerdict(CarvedFault fault) {
  return {CarvedCondition::kDamaged, fault, 0};
}
inline CarvedVerdict StreamEndVerdict(uint64_t end) {
  return {CarvedCondition::kUnchecked, CarvedFault::kNone, 0, end};
}

// "complete", "damaged" or "unchecked".
std::string_view CarvedConditionName(CarvedCondition condition);
// "runs past its end", "checksum fails", "broken structure", "unreadable", "".
std::string_view CarvedFaultText(CarvedFault fault);

// The bytes recovery writes for a carved file sized `carvedSize` by the
// scan: a complete file at its exact length (which may run into the rest
// of the scan's last sector, as a line end after a PDF's last marker does);
// an unchecked stream up to where its units stop (streamEnd); any other at
// the scan's size, so that nothing that might be data is cut.
uint64_t RecoveredLength(const CarvedVerdict& verdict, uint64_t carvedSize);

// Implemented by the engines that hold files with a verdict: the content
// engine, the quick and formatted FAT and NTFS engines, and the full scan
// that owns them.
class ICarvedConditions {
 public:
  virtual ~ICarvedConditions() = default;
  // The verdict of `record`: kept (from the check step, or from an earlier
  // ask in this session), or checked now and kept. Records of other
  // engines, folders and files of formats without a rule are kUnchecked.
  virtual CarvedVerdict CarvedVerdictOf(const ScanRecord& record) = 0;
  // The verdict of `record` when it is known without reading the medium
  // (kept from the check step or from an earlier ask); nothing otherwise.
  virtual std::optional<CarvedVerdict> KnownVerdictOf(const ScanRecord& record) = 0;
};

// The one query for every front end and for recovery manifests: the
// verdict and exact length of `record`, asked of `engine` (the engine that
// holds the record, or the full scan that owns it). kUnchecked for a
// folder or an engine that keeps no verdicts. A file-system find is read on
// its first ask; a complete one has its recorded size as exactLength.
CarvedVerdict CarvedVerdictOf(IRidiRedazuvoParse& engine, const ScanRecord& record);

// What is known of the verdict of `record` without reading the medium, for
// views that must stay fast (a list draws many rows): nothing for a file
// not checked yet.
std::optional<CarvedVerdict> KnownVerdictOf(IRidiRedazuvoParse& engine, const ScanRecord& record);

}  // namespace brinvale
