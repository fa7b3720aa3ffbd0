#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "device/sector_reader.h"

// The partition table at the start of a disk or of an image of one: an MBR
// (four primary entries, logical partitions through the chain of extended
// boot records) or a GPT (behind a protective MBR). A table that cannot be
// trusted whole yields the entries that can be, and says why.
namespace brinvale {

enum class PartitionScheme { kNone, kMbr, kGpt };

// A GUID in its on-disk byte order (the first three fields little-endian).
using Guid = std::array<uint8_t, 16>;

// The text form, "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7" (upper case).
std::string GuidText(const Guid& guid);

struct PartitionEntry {
  // As the system numbers it: an MBR's primary slots 1 to 4 and its logical
  // partitions from 5 in chain order; a GPT's entry index plus 1.
  uint32_t number = 0;
  // First sector, absolute on the disk, and number of sectors, both in the
  // table's sector size (PartitionTable::sectorBytes).
  uint64_t start = 0;
  uint64_t length = 0;
  // The MBR type byte; for a GPT entry, the byte an MBR would carry for the
  // same kind of partition (basic data 0x07, EFI 0xEF, Linux 0x83, swap
  // 0x82, LVM 0x8E, RAID 0xFD), 0 for any other kind.
  uint8_t type = 0;
  bool logical = false;   // MBR: inside the extended partition
  bool bootable = false;  // MBR: status byte 0x80
  // GPT only.
  Guid typeGuid{};
  Guid uniqueGuid{};
  uint64_t attributes = 0;
  std::string name;  // UTF-8 from the entry's 36 UTF-16 units
};

struct PartitionTable {
  PartitionScheme scheme = PartitionScheme::kNone;
  // The sector size the table counts in: 512, or 4,096 for a GPT made for
  // a disk with 4,096-byte sectors.
  uint32_t sectorBytes = 512;
  // The disk's length in those sectors.
  uint64_t diskSectors = 0;
  // The entries that can be trusted, in table order (MBR: primaries, then
  // logical partitions in chain order). Extended partition containers hold
  // no file system and are not listed.
  std::vector<PartitionEntry> partitions;
  // Why some or all of the table cannot be trusted (one sentence per fault,
  // "; "-joined); empty when it is sound.
  std::string damage;
  // GPT: the primary header was damaged and the backup was read instead.
  bool fromBackup = false;
  Guid diskGuid{};  // GPT only

  bool Damaged() const { return !damage.empty(); }
  bool HasPartitions() const { return !partitions.empty(); }
};

// At most this many logical partitions are read from an EBR chain.
inline constexpr size_t kMaxLogicalPartitions = 128;

// Reads the partition table of the disk or image open in `reader`, whose
// sectors are `readerSectorBytes` long (512 for an image file, whatever
// the size of the sectors of the disk it was copied from). On 512-byte
// media a GPT made for 4,096-byte sectors is looked for too. Entries that
// leave the disk, overlap an earlier entry, or leave the usable area of a
// GPT are dropped with a reason. Borrows `reader` for the call.
// Returns 0, or the error of reading sector 0 (then `out` has no scheme);
// read errors further on become reasons in `out.damage`.
int ReadPartitionTable(SectorReader& reader, uint32_t readerSectorBytes, PartitionTable& out);

// A partition's first sector and length restated in `sectorBytes` sectors
// (512 for an image file's engines).
uint64_t StartIn(const PartitionTable& table, const PartitionEntry& entry, uint32_t sectorBytes);
uint64_t LengthIn(const PartitionTable& table, const PartitionEntry& entry, uint32_t sectorBytes);

// "MBR", "GPT" or "none".
const char* PartitionSchemeName(PartitionScheme scheme);

// A stretch of the disk no trusted partition covers, in table sectors.
struct UnpartitionedRange {
  uint64_t start = 0;
  uint64_t length = 0;
};

// The stretches of the disk outside every listed partition, in start
// order, from sector 0 to the end of the disk (the table's own sectors
// included).
std::vector<UnpartitionedRange> UnpartitionedRanges(const PartitionTable& table);

}  // namespace brinvale
