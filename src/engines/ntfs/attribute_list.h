#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "device/sector_reader.h"
#include "engines/ntfs/ntfs_volume.h"

// The $ATTRIBUTE_LIST of a file whose attributes do not fit in one record:
// one entry per attribute (or piece of one) naming the record that holds it.
namespace brinvale {

struct AttributeListEntry {
  uint32_t type = 0;
  std::span<const uint8_t> name;  // UTF-16 bytes inside the list; empty when unnamed
  uint64_t lowestVcn = 0;         // first cluster of the piece in that record
  uint64_t recordNumber = 0;      // 48-bit number of the record that holds it
};

// The largest list read from the volume; real lists stay far below it.
inline constexpr size_t kMaxAttributeListBytes = 256 * 1024;

// The bytes of the list attribute `attribute`: its value when resident;
// when non-resident, its data size (at most kMaxAttributeListBytes) read
// run by run, sparse runs as zeros. Borrows `reader`. Returns 0, 87 for a
// malformed attribute, 8 when memory runs out, or the first read's error
// (with the bytes before it kept).
int ReadAttributeListBytes(const NtfsVolume& volume, SectorReader& reader,
                           std::span<const uint8_t> attribute, std::vector<uint8_t>& bytes);

// Appends the entries of list `bytes` (the spans point into it) in order.
// The walk steps by each entry's length and ends at type 0 or 0xFFFFFFFF, at
// an entry shorter than its 0x1A-byte header, and at one that does not end
// inside `bytes`.
void ParseAttributeList(std::span<const uint8_t> bytes, std::vector<AttributeListEntry>& entries);

}  // namespace brinvale
