#include "deepscan/sizing_context.h"

#include "common/error_codes.h"

namespace brinvale {

SizingContext::SizingContext()
    : m_chunk(std::make_unique<uint8_t[]>(kMaxBytesPerSector + kChunkBytes)),
      m_scratch(std::make_unique<uint8_t[]>(kScratchBytes)) {}

void SizingContext::SetCandidate(SectorReader& medium, uint32_t sectorBytes, uint64_t sector) {
  reader = &medium;
  bytesPerSector = sectorBytes;
  startSector = sector;
  currentSector = sector;
}

int SizingContext::Read(uint64_t sector, uint32_t count, std::span<uint8_t> out) {
  if (reader == nullptr) return kErrInvalidHandle;
  if (bytesPerSector == 0 || bytesPerSector > kMaxBytesPerSector ||
      uint64_t(count) * bytesPerSector > out.size())
    return kErrInvalidParameter;
  uint32_t got = 0;
  return ReadSectors(count, *reader, out.data(), sector, bytesPerSector, got);
}

int SizingContext::ReadBytes(uint64_t offset, size_t length, std::span<const uint8_t>& view) {
  if (bytesPerSector == 0 || bytesPerSector > kMaxBytesPerSector ||
      length + bytesPerSector > kScratchBytes)
    return kErrInvalidParameter;
  const uint64_t first = offset / bytesPerSector;
  const size_t skip = size_t(offset % bytesPerSector);
  const uint32_t count = uint32_t((skip + length + bytesPerSector - 1) / bytesPerSector);
  if (int rc = Read(first, count, Scratch()); rc != kOk) return rc;
  view = Scratch().subspan(skip, length);
  return kOk;
}

bool SizingContext::InStreamRange(uint64_t sector) const {
  for (const StreamRange& r : streamRanges)
    if (sector >= r.first && sector <= r.last) return true;
  return false;
}

}  // namespace brinvale
