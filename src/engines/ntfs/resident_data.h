#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "device/sector_reader.h"
#include "engines/ntfs/ntfs_volume.h"

// A file's content when it is kept inside its record, and its size.
namespace brinvale {

// Copies the value of the file's resident unnamed $DATA attribute, exactly
// its value length, from the record at `recordSector` into `data`.
// Borrows `reader`. Returns 0; -101 when the record is not a FILE record,
// has no unnamed $DATA in the record or that attribute is non-resident;
// 87 when the value does not lie inside the attribute or is not smaller
// than the record size; 8 when memory runs out; else the read's error.
int ReadResidentData(const NtfsVolume& volume, SectorReader& reader, uint64_t recordSector,
                     std::vector<uint8_t>& data);

// The same for a record already read and repaired (LoadFileRecord), which
// is borrowed.
int ResidentDataOf(const NtfsVolume& volume, std::span<const uint8_t> record,
                   std::vector<uint8_t>& data);

// The size of the file's unnamed $DATA: the data size (0x30) of the
// non-resident attribute, or the value length of a resident one.
// Borrows `reader`. Returns 0; -1 when the record is not a FILE record; 87
// when the record holds no such attribute; else the read's error.
int ReadDataSize(const NtfsVolume& volume, SectorReader& reader, uint64_t recordSector,
                 uint64_t& size);

}  // namespace brinvale
