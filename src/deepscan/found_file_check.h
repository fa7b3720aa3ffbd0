#pragma once

#include <cstdint>

#include "deepscan/file_extent_map.h"
#include "device/sector_reader.h"
#include "results/carved_condition.h"
#include "results/scan_record.h"

// The check of a file found through its file system (a FAT entry, an NTFS
// record): the structural walker of its name's extension, run over the
// bytes recovery reads for it.
namespace brinvale {

class CarvedBytes;

// A structure that ends before the recorded size must be followed by zeros
// only; at most this many bytes after its end are read to see that.
inline constexpr uint64_t kFoundTailCheckBytes = 4u << 20;

// Whether `record` is a file with bytes whose name's extension has a
// walker: the others are kUnchecked without a read.
bool HasFoundFileCheck(const ScanRecord& record);

// The verdict of the file of `record` whose bytes, exactly as recovery
// reads them, are `file` (its extent: the recorded size, or less when the
// chain or the runs end before it). The recorded size is the file's length:
//   - kUnchecked: no walker for the extension, or an empty file;
//   - kDamaged kRunsOff: the data recovery reads ends before the recorded
//     size, or the structure needs more than it;
//   - kDamaged kBadStructure: the structure ends before the recorded size
//     and other bytes than zeros follow (the file holds something else
//     after it, as when its clusters went to another file), or more than
//     kFoundTailCheckBytes follow;
//   - kDamaged with the walker's fault, kUnreadable after a failed read;
//   - kComplete with exactLength = the recorded size: the structure ends
//     at that size, or before it with only zeros after.
// Reads only what the walker asks for, plus the tail. Never throws but
// std::bad_alloc.
CarvedVerdict CheckFoundFile(const ScanRecord& record, CarvedBytes& file);

// CheckFoundFile over the bytes `map` places on `reader` (borrowed for the
// call), up to the recorded size.
CarvedVerdict CheckFoundFileOn(const ScanRecord& record, SectorReader& reader,
                               uint32_t bytesPerSector, FileExtentMap map);

}  // namespace brinvale
