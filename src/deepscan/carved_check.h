#pragma once

#include <cstdint>
#include <string_view>

#include "device/sector_reader.h"
#include "results/carved_condition.h"
#include "results/scan_record.h"

// The check of one carved file: the structural walker of its format, run
// over the file's extent on the medium.
namespace brinvale {

// The walker of the format an extension names (the format table's row for
// it, or "rtf"); null for formats without a rule.
using CarvedWalker = CarvedVerdict (*)(class CarvedBytes& file);
CarvedWalker WalkerForExtension(std::string_view extension);

// The extension of a carved record's name ("<sector>.<ext>"), lower case.
std::string_view CarvedExtension(std::string_view name);

// The extent a carved file is checked in: the record's size rounded up to
// whole sectors (recovery reads those sectors whole), cut at the end of
// the medium.
uint64_t CheckedExtent(uint64_t size, uint32_t bytesPerSector, uint64_t startSector,
                       uint64_t totalSectors);

// Checks the carved file of `record` (its start sector at offset 70, its
// size at 54) through `reader` (borrowed for the call). kUnchecked for
// formats without a rule; a read failure inside the extent gives kDamaged
// with kUnreadable. Never throws but std::bad_alloc.
CarvedVerdict CheckCarvedRecord(const ScanRecord& record, SectorReader& reader,
                                uint32_t bytesPerSector);

}  // namespace brinvale
