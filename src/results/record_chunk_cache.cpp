#include "results/record_chunk_cache.h"

#include "common/error_codes.h"

namespace brinvale {

void RecordChunkCache::Clear() {
  for (auto& s : m_slots) {
    s.chunk = ~uint64_t(0);
    s.bytes.clear();
    s.bytes.shrink_to_fit();
  }
}

int RecordChunkCache::Read(const platform::UniqueHandle& file, uint32_t number, ScanRecord& out) {
  if (number == 0) return kErrInvalidParameter;
  const uint64_t index = uint64_t(number - 1);
  const uint64_t chunk = index / kRecordsPerChunk;
  const size_t at = size_t(index % kRecordsPerChunk) * ScanRecord::kSize;

  Slot* slot = nullptr;
  for (auto& s : m_slots)
    if (s.chunk == chunk) slot = &s;
  if (slot == nullptr || slot->bytes.size() < at + ScanRecord::kSize) {
    if (slot == nullptr) {
      slot = &m_slots[0];
      for (auto& s : m_slots)
        if (s.lastUse < slot->lastUse) slot = &s;
    }
    slot->chunk = ~uint64_t(0);
    slot->bytes.resize(kChunkBytes);
    size_t done = 0;
    while (done < kChunkBytes) {
      size_t got = 0;
      int rc = platform::ReadAt(file, chunk * kChunkBytes + done, slot->bytes.data() + done,
                                kChunkBytes - done, got);
      if (rc != kOk) {
        slot->bytes.clear();
        return rc;
      }
      if (got == 0) break;
      done += got;
    }
    slot->bytes.resize(done);
    slot->chunk = chunk;
    if (done < at + ScanRecord::kSize) return kErrHandleEof;
  }
  slot->lastUse = ++m_clock;
  out = ScanRecord::FromBytes(std::span<const uint8_t>(slot->bytes).subspan(at, ScanRecord::kSize));
  return kOk;
}

}  // namespace brinvale
