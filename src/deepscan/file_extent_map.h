#pragma once

#include <cstdint>
#include <vector>

// Where a file's bytes lie on the medium, in file order: each stretch is a
// run of whole sectors or a stretch of zeros (a sparse run, nothing read).
namespace brinvale {

struct FileExtent {
  uint64_t length = 0;  // bytes of the file this stretch holds
  uint64_t sector = 0;  // absolute first sector; unused for zeros
  bool zeros = false;   // reads as zeros without touching the medium
};

using FileExtentMap = std::vector<FileExtent>;

// The bytes the stretches of `map` hold together, saturating at the top of
// the 64-bit range.
inline uint64_t ExtentMapBytes(const FileExtentMap& map) {
  uint64_t total = 0;
  for (const FileExtent& e : map) total = e.length > UINT64_MAX - total ? UINT64_MAX : total + e.length;
  return total;
}

// Appends `length` bytes at `sector` (or zeros), joined to the last
// stretch when they continue it on the medium; `bytesPerSector` places the
// continuation.
inline void AppendExtent(FileExtentMap& map, uint64_t sector, uint64_t length, bool zeros,
                         uint32_t bytesPerSector) {
  if (length == 0) return;
  if (!map.empty()) {
    FileExtent& last = map.back();
    const bool whole = bytesPerSector != 0 && last.length % bytesPerSector == 0;
    if (last.zeros && zeros) {
      if (length <= UINT64_MAX - last.length) {
        last.length += length;
        return;
      }
    } else if (!last.zeros && !zeros && whole &&
               last.sector + last.length / bytesPerSector == sector &&
               length <= UINT64_MAX - last.length) {
      last.length += length;
      return;
    }
  }
  map.push_back({length, zeros ? 0 : sector, zeros});
}

}  // namespace brinvale
