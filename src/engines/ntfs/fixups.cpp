#include "engines/ntfs/fixups.h"

#include "common/bytes.h"
#include "engines/ntfs/ntfs_layout.h"

namespace brinvale {

bool ApplyFixups(std::span<uint8_t> record, uint32_t recordSize) {
  using namespace ntfs::record;
  if (recordSize < kFixupBlockBytes || recordSize % kFixupBlockBytes != 0 ||
      recordSize > record.size())
    return false;
  const uint32_t blocks = recordSize / kFixupBlockBytes;
  if (kUpdateSequenceArray + 2 * size_t(blocks) > recordSize) return false;
  const uint16_t sequence = LoadLe16(record, kUpdateSequence);
  bool whole = LoadLe16(record, kUpdateSequenceCount) == blocks + 1;
  for (uint32_t i = 0; i < blocks; ++i) {
    const size_t end = size_t(kFixupBlockBytes) * (i + 1) - 2;
    if (LoadLe16(record, end) != sequence) whole = false;
    StoreLe16(record, end, LoadLe16(record, kUpdateSequenceArray + 2 * size_t(i)));
  }
  return whole;
}

}  // namespace brinvale
