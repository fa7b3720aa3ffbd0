#pragma once

#include <cstdint>

#include "device/sector_reader.h"

namespace brinvale {

// Opens disk `diskNumber` for reading into `reader` and learns its sector
// size (512 when the disk does not tell). Returns 0 or the error of opening
// the disk.
int OpenFatDiskReader(int diskNumber, SectorReader& reader, uint32_t& bytesPerSector);

}  // namespace brinvale
