#include "device/mbr_partition_table.h"

#include <set>

#include "common/bytes.h"
#include "common/error_codes.h"

namespace brinvale {
namespace {

struct RawEntry {
  uint8_t status = 0;
  uint8_t type = 0;
  uint32_t first = 0;
  uint32_t count = 0;
};

RawEntry EntryAt(std::span<const uint8_t> sector, size_t slot) {
  const size_t at = mbr::kEntries + slot * mbr::kEntrySize;
  RawEntry e;
  e.status = sector[at + mbr::kStatus];
  e.type = sector[at + mbr::kType];
  e.first = LoadLe32(sector, at + mbr::kFirstLba);
  e.count = LoadLe32(sector, at + mbr::kSectorCount);
  return e;
}

bool HasSignature(std::span<const uint8_t> sector) {
  return sector.size() >= 512 && sector[mbr::kSignature] == 0x55 &&
         sector[mbr::kSignature + 1] == 0xAA;
}

void AddDamage(PartitionTable& out, const std::string& sentence) {
  if (!out.damage.empty()) out.damage += "; ";
  out.damage += sentence;
}

// Follows the EBR chain of the extended partition [extStart, extStart +
// extLength), appending logical partitions numbered from 5.
void ReadLogicalPartitions(TableSectors& sectors, uint64_t extStart, uint64_t extLength,
                           PartitionTable& out) {
  const uint64_t extEnd = extStart + extLength;
  std::set<uint64_t> visited;
  uint64_t ebr = extStart;
  uint32_t number = 5;
  std::vector<uint8_t> bytes;
  for (;;) {
    if (!visited.insert(ebr).second) {
      AddDamage(out, "the chain of extended boot records loops back to sector " +
                         std::to_string(ebr));
      return;
    }
    if (number - 5 >= kMaxLogicalPartitions) {
      AddDamage(out, "the extended partition holds more than " +
                         std::to_string(kMaxLogicalPartitions) +
                         " logical partitions; the rest are not read");
      return;
    }
    if (int rc = sectors.Read(ebr, 1, bytes); rc != kOk) {
      AddDamage(out, "the extended boot record at sector " + std::to_string(ebr) +
                         " cannot be read (error " + std::to_string(rc) + ")");
      return;
    }
    if (!HasSignature(bytes)) {
      AddDamage(out, "the extended boot record at sector " + std::to_string(ebr) +
                         " has no 0x55 0xAA signature");
      return;
    }
    const RawEntry logical = EntryAt(bytes, 0);
    const RawEntry next = EntryAt(bytes, 1);
    if (logical.type != 0 && logical.count != 0) {
      PartitionEntry e;
      e.number = number;
      e.start = ebr + logical.first;
      e.length = logical.count;
      e.type = logical.type;
      e.logical = true;
      e.bootable = logical.status == 0x80;
      if (e.start < extStart || e.start + e.length > extEnd) {
        AddDamage(out, "logical partition " + std::to_string(number) +
                           " lies outside its extended partition");
      } else {
        out.partitions.push_back(std::move(e));
      }
    }
    ++number;
    if (next.type == 0 || next.count == 0) return;
    if (!IsExtendedType(next.type)) {
      AddDamage(out, "the extended boot record at sector " + std::to_string(ebr) +
                         " links to an entry of type " + std::to_string(next.type) +
                         " instead of the next record");
      return;
    }
    const uint64_t following = extStart + next.first;
    if (following >= extEnd) {
      AddDamage(out, "the extended boot record at sector " + std::to_string(ebr) +
                         " links past the end of its extended partition");
      return;
    }
    ebr = following;
  }
}

}  // namespace

bool IsExtendedType(uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

MbrKind ClassifyMbr(std::span<const uint8_t> sector) {
  if (!HasSignature(sector)) return MbrKind::kNone;
  bool any = false;
  bool protective = false;
  for (size_t slot = 0; slot < mbr::kEntryCount; ++slot) {
    const RawEntry e = EntryAt(sector, slot);
    // A boot sector of a volume carries code where the entries would be;
    // its bytes are seldom all valid status bytes.
    if (e.status != 0x00 && e.status != 0x80) return MbrKind::kNone;
    if (e.type == 0) continue;
    any = true;
    if (e.type == mbr::kTypeProtective) protective = true;
  }
  if (!any) return MbrKind::kNone;
  return protective ? MbrKind::kProtective : MbrKind::kPartitions;
}

void ReadMbrPartitions(TableSectors& sectors, std::span<const uint8_t> sector0,
                       PartitionTable& out) {
  out.scheme = PartitionScheme::kMbr;
  out.sectorBytes = sectors.SectorBytes();
  out.diskSectors = sectors.TotalSectors();
  bool extendedSeen = false;
  uint64_t extStart = 0, extLength = 0;
  for (size_t slot = 0; slot < mbr::kEntryCount; ++slot) {
    const RawEntry raw = EntryAt(sector0, slot);
    if (raw.type == 0 || raw.count == 0) continue;
    const uint32_t number = uint32_t(slot + 1);
    if (IsExtendedType(raw.type)) {
      if (extendedSeen) {
        AddDamage(out, "entry " + std::to_string(number) +
                           " is a second extended partition; it is not read");
        continue;
      }
      extendedSeen = true;
      if (raw.first == 0 || uint64_t(raw.first) + raw.count > out.diskSectors) {
        AddDamage(out, "extended partition " + std::to_string(number) +
                           " starts at sector 0 or ends past the end of the disk");
        continue;
      }
      extStart = raw.first;
      extLength = raw.count;
      continue;
    }
    PartitionEntry e;
    e.number = number;
    e.start = raw.first;
    e.length = raw.count;
    e.type = raw.type;
    e.bootable = raw.status == 0x80;
    out.partitions.push_back(std::move(e));
  }
  // Logical partitions follow the primaries, whatever slot the extended
  // partition has.
  if (extLength != 0) ReadLogicalPartitions(sectors, extStart, extLength, out);
}

}  // namespace brinvale
