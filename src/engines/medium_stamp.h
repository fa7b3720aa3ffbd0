#pragma once

#include <cstdint>
#include <filesystem>

#include "device/sector_reader.h"
#include "results/recovery_engine.h"

// Stamps of a medium's state, kept in the scan history with a full scan so
// that a later scan can tell whether the medium is still the one scanned.
// A stamp that differs means "changed"; one that agrees means nothing was
// written that the stamp can see (see ContentStamp for what it misses).
namespace brinvale {

// The stamp of a partition or whole disk. Where the system gives it a
// drive letter (Windows), the free bytes of that volume as its file system
// counts them; otherwise ContentStamp.
uint64_t PartitionStamp(char16_t driveLetter, IRidiRedazuvoParse* quick, SectorReader& reader,
                        uint64_t start, uint64_t count, uint32_t bytesPerSector);

// A stamp of what the medium holds, read from the medium itself: sectors
// `start` to `start + count` of `reader`, `bytesPerSector` bytes each.
// When `quick` (the quick engine of the file system found there, opened
// on the same medium; may be null) maps the allocated space
// (BuildAllocationMap answers 0 and NextFreeRange gives at least one
// range), a hash of the free ranges: the free entries of a FAT, the clear
// bits of an NTFS $Bitmap. Otherwise a hash of the first and the last MiB.
//
// What it misses: writes that leave the allocation as it was, such as a
// file rewritten in place, a rename, an empty file created or deleted, or
// on NTFS a small file kept inside its MFT record; without a map, any write
// between the first and the last MiB.
uint64_t ContentStamp(IRidiRedazuvoParse* quick, SectorReader& reader, uint64_t start,
                      uint64_t count, uint32_t bytesPerSector);

// The stamp of an image file: its last-write time as a FILETIME (100 ns
// units since 1601); 0 when it cannot be read.
uint64_t ImageStamp(const std::filesystem::path& image);

}  // namespace brinvale
