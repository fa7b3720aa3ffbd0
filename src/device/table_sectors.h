#pragma once

#include <cstdint>
#include <vector>

#include "device/sector_reader.h"

namespace brinvale {

// Reads the sectors of a partition table, counted in the table's own sector
// size, from a reader that counts in another: an image file counts 512-byte
// sectors even when it holds a disk whose GPT counts 4,096-byte ones.
// Borrows the reader (must outlive this object).
class TableSectors {
 public:
  // `readerBytes` is the reader's sector size, `tableBytes` the table's; the
  // larger must be a whole multiple of the smaller.
  TableSectors(SectorReader& reader, uint32_t readerBytes, uint32_t tableBytes);

  uint32_t SectorBytes() const { return m_tableBytes; }
  // The medium's length in table sectors (a partial last sector dropped).
  uint64_t TotalSectors() const;

  // Reads `count` table sectors from `first` into `out` (resized to fit).
  // Returns 0; 87 past the end of the medium or for a size pair that does
  // not divide; 30 or the system error when the read fails.
  int Read(uint64_t first, uint32_t count, std::vector<uint8_t>& out);

 private:
  SectorReader& m_reader;
  uint32_t m_readerBytes;
  uint32_t m_tableBytes;
};

}  // namespace brinvale
