#pragma once

#include <cstdint>
#include <span>

#include "device/partition_table.h"
#include "device/table_sectors.h"

// The GUID partition table: a header in sector 1 and its copy in the last
// sector of the disk, each pointing at an array of entries.
//
// Header (little-endian; its CRC32 covers `header size` bytes with the CRC
// field taken as zero):
//   0  "EFI PART"              8  revision
//  12  header size (92 ..)    16  header CRC32         20  reserved
//  24  this header's sector   32  the other header's sector
//  40  first usable sector    48  last usable sector   56  disk GUID
//  72  first sector of the entry array
//  80  number of entries      84  size of one entry (128 x 2^n)
//  88  CRC32 of the entry array
// Entry:
//   0  type GUID (all zero: unused)    16  unique GUID
//  32  first sector   40  last sector (inclusive)   48  attributes
//  56  name, 36 UTF-16 units
namespace brinvale {

namespace gpt {
inline constexpr size_t kSignature = 0, kRevision = 8, kHeaderSize = 12, kHeaderCrc = 16,
                        kMyLba = 24, kAlternateLba = 32, kFirstUsable = 40, kLastUsable = 48,
                        kDiskGuid = 56, kEntriesLba = 72, kEntryCount = 80, kEntrySize = 84,
                        kEntriesCrc = 88;
inline constexpr uint32_t kMinHeaderSize = 92;
inline constexpr size_t kTypeGuid = 0, kUniqueGuid = 16, kFirstLba = 32, kLastLba = 40,
                        kAttributes = 48, kName = 56, kNameUnits = 36;
inline constexpr uint32_t kMinEntrySize = 128;
static_assert(kName + 2 * kNameUnits == kMinEntrySize);
// The entry arrays read are at most this long: far more than any tool
// writes (128 entries of 128 bytes), and a bound for a damaged count.
inline constexpr uint64_t kMaxArrayBytes = 4u << 20;
}  // namespace gpt

// Whether `sector` starts with the "EFI PART" signature.
bool HasGptSignature(std::span<const uint8_t> sector);

// Reads the GPT through `sectors` into `out`: the primary header, or the
// backup when the primary or its entry array is damaged (`fromBackup`, and
// a reason). With both damaged `out` has the scheme and a reason but no
// partitions. Entries are not yet checked against each other.
void ReadGptPartitions(TableSectors& sectors, PartitionTable& out);

// The MBR type byte for a GPT type GUID, 0 for kinds not mapped.
uint8_t MbrTypeForGptType(const Guid& type);

}  // namespace brinvale
