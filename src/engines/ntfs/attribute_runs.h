#pragma once

#include <cstdint>
#include <span>

#include "device/sector_reader.h"
#include "engines/ntfs/ntfs_volume.h"
#include "engines/ntfs/run_list.h"

namespace brinvale {

// Appends the runs of the attribute of type `type` of the record at
// absolute sector `recordSector` to `runs`. For $DATA the file's unnamed
// stream is taken; for other types the first attribute of that type.
//
// When the record has an $ATTRIBUTE_LIST, the attribute may be split over
// several records: every piece the list names (same type and name, in list
// order) is read from its record (extension records are found through
// `volume.mftRuns` and must name this record as their base) and its runs
// appended, as long as each piece starts at the cluster where the ones
// before it ended. When the list yields nothing, the attribute found in
// the record itself is used. Lists are followed from the base record only,
// never from an extension record.
//
// A resident attribute has no runs: it is found (0) and adds nothing.
// Borrows `reader`. Returns 0; -1 when the record is not a FILE record;
// -100 when neither the attribute nor a list is found; else the read's
// error code.
int FindAttributeRuns(const NtfsVolume& volume, SectorReader& reader, uint64_t recordSector,
                      uint32_t type, RunList& runs);

// The same for the base record already read and repaired (LoadFileRecord),
// which is borrowed; only extension records are read.
int AttributeRunsOf(const NtfsVolume& volume, SectorReader& reader,
                    std::span<const uint8_t> record, uint32_t type, RunList& runs);

}  // namespace brinvale
