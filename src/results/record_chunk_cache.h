#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/file.h"
#include "results/scan_record.h"

namespace brinvale {

// Serves single records of a record file from whole 200-record chunks kept
// in memory, so that listing a folder costs one read per chunk instead of
// one per record. The record file only ever grows at its end, so a cached
// chunk stays right; a chunk that was read short is read again when a record
// past its end is asked for.
class RecordChunkCache {
 public:
  static constexpr size_t kRecordsPerChunk = 200;
  static constexpr size_t kChunkBytes = kRecordsPerChunk * ScanRecord::kSize;

  explicit RecordChunkCache(size_t chunks = 64) : m_slots(chunks) {}

  // Reads record `number` (1-based) of `file`. Returns 0, the read error, or
  // 38 when the file ends before the record.
  int Read(const platform::UniqueHandle& file, uint32_t number, ScanRecord& out);

  void Clear();

 private:
  struct Slot {
    uint64_t chunk = ~uint64_t(0);
    uint64_t lastUse = 0;
    std::vector<uint8_t> bytes;  // what the read returned, up to kChunkBytes
  };
  std::vector<Slot> m_slots;
  uint64_t m_clock = 0;
};

}  // namespace brinvale
