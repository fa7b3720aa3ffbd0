#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "device/partition_table.h"
#include "device/table_sectors.h"

// The MBR of sector 0 and the chain of extended boot records.
//
// Sector 0: boot code, then four 16-byte entries at 446, 462, 478, 494 and
// the signature 0x55 0xAA at 510. An entry:
//   0  status (0x00, or 0x80 for the boot partition)
//   1  CHS of the first sector (3 bytes, not used: LBA rules)
//   4  type byte (0 empty, 0x05 / 0x0F / 0x85 extended, 0xEE GPT protective)
//   5  CHS of the last sector (3 bytes, not used)
//   8  first sector (32-bit LBA)
//  12  sector count (32-bit)
// An extended partition holds a chain of EBRs, each laid out as sector 0:
// its first entry is one logical partition, its start relative to that EBR;
// its second entry points at the next EBR, its start relative to the
// extended partition's start; the other two are empty.
namespace brinvale {

namespace mbr {
inline constexpr size_t kEntries = 446;
inline constexpr size_t kEntrySize = 16;
inline constexpr size_t kEntryCount = 4;
inline constexpr size_t kSignature = 510;
inline constexpr size_t kStatus = 0, kType = 4, kFirstLba = 8, kSectorCount = 12;
inline constexpr uint8_t kTypeProtective = 0xEE;
static_assert(kEntries + kEntryCount * kEntrySize == kSignature);
}  // namespace mbr

enum class MbrKind {
  kNone,        // no 0x55 0xAA, a status byte other than 0x00 / 0x80, or no entry
  kPartitions,  // a classic table
  kProtective,  // an 0xEE entry: the disk carries a GPT
};

// What sector 0 holds; `sector` is at least 512 bytes.
MbrKind ClassifyMbr(std::span<const uint8_t> sector);

// Whether a type byte marks an extended partition (0x05, 0x0F, 0x85).
bool IsExtendedType(uint8_t type);

// Fills `out` (scheme, partitions, damage) from sector 0 and the EBR chain
// read through `sectors`. Entries are not yet checked against the disk or
// each other.
void ReadMbrPartitions(TableSectors& sectors, std::span<const uint8_t> sector0,
                       PartitionTable& out);

}  // namespace brinvale
