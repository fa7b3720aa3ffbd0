// Listing and counting an NTFS engine's finds through its scan log.
#include "engines/ntfs/ntfs_result_tree.h"

#include "common/error_codes.h"
#include "results/result_tree.h"

namespace brinvale {

int ListNtfsChildren(ScanLogStore& store, uint32_t rootRecord, const ScanRecord* parent,
                     uint32_t depth, RecordList& out) {
  if (int rc = store.FlushLog(); rc != kOk) return rc;
  if (parent == nullptr) {
    if (depth != 0) return kErrInvalidParameter;
    return store.ListFolder(rootRecord, out);
  }
  return ListChildrenOf(store, parent, depth, out);
}

int CountNtfsFiles(ScanLogStore& store, uint32_t rootRecord, const ScanRecord* parent,
                   uint32_t depth, uint32_t& count) {
  if (int rc = store.FlushLog(); rc != kOk) return rc;
  if (parent == nullptr) {
    if (depth != 0) return kErrInvalidParameter;
    return store.CountFilesBelow(rootRecord, count);
  }
  return CountFilesOf(store, parent, depth, count);
}

}  // namespace brinvale
