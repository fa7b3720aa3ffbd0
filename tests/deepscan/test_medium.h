#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "deepscan/sizing_context.h"
#include "device/byte_source.h"
#include "device/sector_reader.h"

namespace brinvale::test {

// A medium in memory, written sector by sector in the test, with a reader
// and a sizing context pointed at it.
class TestMedium {
 public:
  explicit TestMedium(size_t sectors, uint32_t bytesPerSector = 512)
      : m_bps(bytesPerSector), m_bytes(sectors * bytesPerSector) {}

  std::span<uint8_t> Sector(uint64_t n) { return std::span(m_bytes).subspan(n * m_bps, m_bps); }
  std::span<uint8_t> Bytes() { return m_bytes; }
  // Writes `text` (NULs allowed) at byte `offset`.
  void Put(uint64_t offset, std::string_view text) {
    std::memcpy(m_bytes.data() + offset, text.data(), text.size());
  }
  void Fill(uint64_t offset, size_t length, uint8_t value) {
    std::memset(m_bytes.data() + offset, value, length);
  }
  uint32_t BytesPerSector() const { return m_bps; }

  // Opens the reader over the bytes as they are now (they must not grow)
  // and points the context at `sector`.
  SizingContext& At(uint64_t sector) {
    OpenSourceReader(m_reader,
                     std::make_unique<MemoryByteSource>(std::span<const uint8_t>(m_bytes)),
                     m_bytes.size() / m_bps);
    m_ctx.SetCandidate(m_reader, m_bps, sector);
    return m_ctx;
  }
  SectorReader& Reader() { return m_reader; }
  SizingContext& Context() { return m_ctx; }

 private:
  uint32_t m_bps;
  std::vector<uint8_t> m_bytes;
  SectorReader m_reader;
  SizingContext m_ctx;
};

}  // namespace brinvale::test
