#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "device/sector_reader.h"
#include "engines/fat/fat_boot_sector.h"

namespace brinvale {

// Reads entries of the first FAT through a window of at most 16 MiB that is
// refilled only when an entry lies outside it. The window never reaches past
// the end of the FAT or of the medium, so small volumes are read whole.
// Borrows `reader` (must outlive the table).
class FatTable {
 public:
  static constexpr size_t kWindowBytes = 16u << 20;

  // `fatStart` is the absolute sector of the first FAT.
  FatTable(SectorReader& reader, const FatGeometry& geometry, uint64_t fatStart);
  FatTable(const FatTable&) = delete;
  FatTable& operator=(const FatTable&) = delete;

  // Entry c as stored: 12 bits on FAT12 (two entries in three bytes), 16 on
  // FAT16, all 32 bits on FAT32. Returns 0, 87 for an entry past the end of
  // the FAT, or the read error of the window.
  int ReadEntry(uint64_t cluster, uint32_t& value);

  // The cluster after c in a chain, or empty at the end. A free entry (as
  // for a deleted file) continues to c + 1 when that one is free too, so a
  // deleted file is followed through free clusters. FAT12/16 end marks are
  // 0xFF8/0xFFF8 and above, FAT32's 0x0FFFFFF8 and above (its top four bits
  // are reserved and ignored). A link below 2 or past the last cluster ends
  // the chain too: it names no data.
  std::optional<uint32_t> NextCluster(uint32_t cluster);

  // True when the entry is an end-of-chain mark.
  bool IsEndMark(uint32_t value) const;

 private:
  int Load(uint64_t byteOffset);

  SectorReader& m_reader;
  FatGeometry m_geometry;
  uint64_t m_fatStart;
  uint64_t m_fatBytes;
  std::vector<uint8_t> m_window;
  uint64_t m_windowOffset = 0;  // FAT byte offset of m_window[0]
  size_t m_windowBytes = 0;     // valid bytes in the window
};

}  // namespace brinvale
