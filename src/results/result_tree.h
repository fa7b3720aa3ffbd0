#pragma once

#include <cstdint>
#include <vector>

#include "results/scan_log_store.h"

// The folder tree of a scan log as the engine slots ListChildren and
// CountFiles ask for it: a folder is given by its record and the level
// that forms the high half of its children's key; no record and level 0
// stands for the root.
namespace brinvale {

// The folder key under which the children of `parent` are filed, or 0
// (the root) for no parent.
inline uint64_t ChildrenKey(const ScanRecord* parent, uint32_t level) {
  return parent == nullptr ? 0 : uint64_t(level) << 32 | parent->EntryKey();
}

// The children of `parent` (files first, then folders, each by name).
// Returns 87 at once for no parent with a non-zero level.
int ListChildrenOf(ScanLogStore& store, const ScanRecord* parent, uint32_t level,
                   std::vector<ScanRecord>& out);

// The number of files in the whole subtree of `parent`, hidden photos
// included, with the rule of ListChildrenOf.
int CountFilesOf(ScanLogStore& store, const ScanRecord* parent, uint32_t level, uint32_t& count);

}  // namespace brinvale
