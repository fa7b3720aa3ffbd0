#include "engines/ntfs/run_list.h"

#include "common/bytes.h"
#include "engines/ntfs/ntfs_layout.h"

namespace brinvale {
namespace {

// Unsigned little-endian integer of `size` bytes (0 to 8).
uint64_t LoadUnsigned(std::span<const uint8_t> b, size_t at, size_t size) {
  uint64_t v = 0;
  for (size_t i = 0; i < size; ++i) v |= uint64_t(b[at + i]) << (8 * i);
  return v;
}

// Signed little-endian integer of `size` bytes (1 to 8), two's complement
// with the sign in the top bit of its last byte.
int64_t LoadSigned(std::span<const uint8_t> b, size_t at, size_t size) {
  uint64_t v = LoadUnsigned(b, at, size);
  if (size < 8 && (b[at + size - 1] & 0x80) != 0) v |= ~uint64_t(0) << (8 * size);
  return static_cast<int64_t>(v);
}

}  // namespace

size_t DecodeRunList(std::span<const uint8_t> attribute, RunList& runs) {
  using namespace ntfs;
  if (attribute.size() < attr::kRunListOffset + 2 || attribute[attr::kNonResident] == 0) return 0;
  size_t p = LoadLe16(attribute, attr::kRunListOffset);
  // Runs so far end at this cluster; the new ones are decoded from 0 and
  // rebased against it.
  int64_t previousStart = LastRunStart(runs);
  int64_t lcn = 0;
  size_t added = 0;
  while (p < attribute.size()) {
    const uint8_t header = attribute[p];
    if (header == 0) break;
    const size_t lengthBytes = header & 0x0F;
    const size_t offsetBytes = header >> 4;
    if (lengthBytes > 8 || offsetBytes > 8) break;
    if (attribute.size() - p - 1 < lengthBytes + offsetBytes) break;  // run past the attribute
    const uint64_t count = LoadUnsigned(attribute, p + 1, lengthBytes);
    if (count == 0) break;
    DataRun run{count, 0, offsetBytes == 0};
    if (!run.sparse) {
      int64_t next = 0;
      if (__builtin_add_overflow(lcn, LoadSigned(attribute, p + 1 + lengthBytes, offsetBytes),
                                 &next) ||
          next < 0 || __builtin_sub_overflow(next, previousStart, &run.clusterDelta))
        break;
      lcn = next;
      previousStart = lcn;
    }
    runs.push_back(run);
    ++added;
    p += 1 + lengthBytes + offsetBytes;
  }
  return added;
}

bool PlaceRuns(std::span<const DataRun> runs, std::vector<PlacedRun>& placed) {
  int64_t lcn = 0;
  for (const DataRun& run : runs) {
    if (run.sparse) {
      placed.push_back({0, run.clusterCount, true});
      continue;
    }
    if (__builtin_add_overflow(lcn, run.clusterDelta, &lcn) || lcn < 0) return false;
    placed.push_back({uint64_t(lcn), run.clusterCount, false});
  }
  return true;
}

int64_t LastRunStart(std::span<const DataRun> runs) {
  int64_t lcn = 0;
  for (const DataRun& run : runs) {
    if (__builtin_add_overflow(lcn, run.clusterDelta, &lcn)) return 0;
  }
  return lcn;
}

uint64_t TotalClusters(std::span<const DataRun> runs) {
  uint64_t total = 0;
  for (const DataRun& run : runs) {
    if (__builtin_add_overflow(total, run.clusterCount, &total)) return ~uint64_t(0);
  }
  return total;
}

}  // namespace brinvale
