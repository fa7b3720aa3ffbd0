// Run-list decoding from arbitrary bytes: once as a whole attribute with its
// own header, once as the run list of a well-formed header, and appended a
// second time to check the rebasing of a following piece.
#include <cstdint>
#include <span>
#include <vector>

#include "common/bytes.h"
#include "engines/ntfs/run_list.h"

using namespace brinvale;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  RunList runs;
  DecodeRunList(bytes, runs);

  std::vector<uint8_t> attribute(0x40 + size);
  StoreLe32(attribute, 0x00, 0x80);                        // $DATA
  StoreLe32(attribute, 0x04, uint32_t(attribute.size()));  // length
  attribute[0x08] = 1;                                     // non-resident
  StoreLe16(attribute, 0x20, 0x40);                        // run list offset
  std::copy(bytes.begin(), bytes.end(), attribute.begin() + 0x40);
  RunList whole;
  const size_t first = DecodeRunList(attribute, whole);
  const size_t second = DecodeRunList(attribute, whole);
  if (first != second || whole.size() != first + second) __builtin_trap();

  // Both pieces place the same clusters: the rebasing must not move them.
  std::vector<PlacedRun> placed;
  if (!PlaceRuns(whole, placed)) __builtin_trap();
  for (size_t i = 0; i < first; ++i) {
    if (placed[i].startCluster != placed[first + i].startCluster ||
        placed[i].clusterCount != placed[first + i].clusterCount ||
        placed[i].sparse != placed[first + i].sparse)
      __builtin_trap();
  }
  (void)TotalClusters(whole);
  return 0;
}
