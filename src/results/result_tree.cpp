#include "results/result_tree.h"

#include "common/error_codes.h"

namespace brinvale {

int ListChildrenOf(ScanLogStore& store, const ScanRecord* parent, uint32_t level,
                   std::vector<ScanRecord>& out) {
  if (parent == nullptr && level != 0) return kErrInvalidParameter;
  return store.ListFolder(ChildrenKey(parent, level), out);
}

int CountFilesOf(ScanLogStore& store, const ScanRecord* parent, uint32_t level, uint32_t& count) {
  count = 0;
  if (parent == nullptr && level != 0) return kErrInvalidParameter;
  return store.CountFilesBelow(ChildrenKey(parent, level), count);
}

}  // namespace brinvale
