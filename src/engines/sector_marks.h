#pragma once

#include <cstdint>
#include <span>
#include <vector>

// What the full scan's pass needs to know of each sector before it hands
// the sector to an engine, tested on the sector's bytes alone, so that the
// tests can run on several threads ahead of the engines, which take the
// sectors one by one in disk order. A sector with no mark is one that
// every engine passes over: no FILE record, no directory data, and first
// bytes that no content detector accepts.
namespace brinvale {

enum SectorMarkBits : uint8_t {
  kMarkFileSignature = 1,  // "FILE", with the update sequence number at the end of 512 bytes
  kMarkDotDirectory = 2,   // IsDotDirectoryStart
  kMarkDirectory = 4,      // IsDirectorySector
  kMarkMayStartFile = 8,   // MayStartFile
};

struct SectorMark {
  uint32_t index = 0;  // sectors from the start of the bytes marked
  uint8_t bits = 0;
};

// Whether `sector` (512 bytes or more) carries a FILE record's signature and
// the update sequence number repeated in its last two bytes of the first
// 512: the part of the FILE record test that does not depend on the record
// size.
bool HasFileRecordSignature(std::span<const uint8_t> sector);

// Appends a mark for every sector of `bytes` (`bytesPerSector` each, 512
// or more; a partial sector at the end is not marked) that has any of the
// bits, with its index counted from `firstIndex`, in ascending order.
void MarkSectors(std::span<const uint8_t> bytes, uint32_t bytesPerSector, uint32_t firstIndex,
                 std::vector<SectorMark>& out);

}  // namespace brinvale
