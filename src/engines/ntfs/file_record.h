#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "device/sector_reader.h"
#include "engines/ntfs/ntfs_volume.h"

// Reading one file record and the header fields the engines use.
namespace brinvale {

// Reads the record at absolute sector `sector` (sectors per record sectors,
// record size bytes) into the start of `buffer`, which must hold at least
// the record size (normally kRecordBufferBytes). The fix-up is not applied.
// Returns 0, 87 for a short buffer or a record past the end, 30 for a
// failed read, or the system error.
int ReadRecord(const NtfsVolume& volume, SectorReader& reader, uint64_t sector,
               std::span<uint8_t> buffer);

// Reads the record at absolute sector `sector` into `record` (resized to
// the record size) and applies its fix-up. Returns 0, -1 when it is not a
// FILE record, or ReadRecord's error.
int LoadFileRecord(const NtfsVolume& volume, SectorReader& reader, uint64_t sector,
                   std::vector<uint8_t>& record);

// True when `record` starts with "FILE" and is long enough for the header
// fields below.
bool HasFileSignature(std::span<const uint8_t> record);

// Header fields of a record HasFileSignature accepted.
uint16_t RecordFlags(std::span<const uint8_t> record);
uint16_t FirstAttributeOffset(std::span<const uint8_t> record);
uint32_t BytesInUse(std::span<const uint8_t> record);
uint32_t RecordNumberOf(std::span<const uint8_t> record);      // at 0x2C
uint64_t BaseRecordNumberOf(std::span<const uint8_t> record);  // 0 for a base record

}  // namespace brinvale
