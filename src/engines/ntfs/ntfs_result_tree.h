#pragma once

#include <cstdint>

#include "results/recovery_engine.h"
#include "results/scan_log_store.h"

// The NTFS engines' ListChildren and CountFiles over their scan log: the
// log is flushed first, and no parent at level 0 stands for the folder
// whose record is `rootRecord`.
namespace brinvale {

// Returns 87 for no parent at a non-zero level.
int ListNtfsChildren(ScanLogStore& store, uint32_t rootRecord, const ScanRecord* parent,
                     uint32_t depth, RecordList& out);

// The number of files below `parent`, with the rule of ListNtfsChildren.
int CountNtfsFiles(ScanLogStore& store, uint32_t rootRecord, const ScanRecord* parent,
                   uint32_t depth, uint32_t& count);

}  // namespace brinvale
