#include "engines/fat/fat_table.h"

#include <algorithm>

#include "common/bytes.h"
#include "common/error_codes.h"

namespace brinvale {

FatTable::FatTable(SectorReader& reader, const FatGeometry& geometry, uint64_t fatStart)
    : m_reader(reader),
      m_geometry(geometry),
      m_fatStart(fatStart),
      m_fatBytes(uint64_t(geometry.fatSectors) * geometry.bytesPerSector) {}

int FatTable::Load(uint64_t byteOffset) {
  const uint32_t bps = m_geometry.bytesPerSector;
  const uint64_t firstSector = byteOffset / bps;
  const uint64_t fatSectorsLeft = m_geometry.fatSectors - firstSector;
  const uint64_t mediumSectorsLeft =
      m_fatStart + firstSector < m_reader.totalSectors
          ? m_reader.totalSectors - (m_fatStart + firstSector)
          : 0;
  const uint64_t sectors =
      std::min<uint64_t>({kWindowBytes / bps, fatSectorsLeft, mediumSectorsLeft});
  m_windowBytes = 0;
  if (sectors == 0) return kErrInvalidParameter;
  try {
    if (m_window.size() < sectors * bps) m_window.resize(sectors * bps);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
  uint32_t got = 0;
  int rc = ReadSectors(uint32_t(sectors), m_reader, m_window.data(), m_fatStart + firstSector,
                       bps, got);
  m_windowOffset = firstSector * bps;
  m_windowBytes = size_t(got) * bps;
  if (got == 0) return rc != kOk ? rc : kErrReadFault;
  return kOk;
}

int FatTable::ReadEntry(uint64_t cluster, uint32_t& value) {
  uint64_t offset;
  size_t width;
  switch (m_geometry.kind) {
    case FatKind::kFat12: offset = cluster + cluster / 2; width = 2; break;
    case FatKind::kFat16: offset = cluster * 2; width = 2; break;
    default: offset = cluster * 4; width = 4; break;
  }
  if (offset + width > m_fatBytes) return kErrInvalidParameter;
  if (offset < m_windowOffset || offset + width > m_windowOffset + m_windowBytes) {
    if (int rc = Load(offset); rc != kOk) return rc;
    if (offset + width > m_windowOffset + m_windowBytes) return kErrReadFault;
  }
  std::span<const uint8_t> w(m_window.data(), m_windowBytes);
  const size_t at = size_t(offset - m_windowOffset);
  switch (m_geometry.kind) {
    case FatKind::kFat12: {
      const uint16_t pair = LoadLe16(w, at);
      // An odd cluster's entry is the high 12 bits of the pair.
      value = cluster & 1 ? pair >> 4 : pair & 0x0FFF;
      break;
    }
    case FatKind::kFat16: value = LoadLe16(w, at); break;
    default: value = LoadLe32(w, at); break;
  }
  return kOk;
}

bool FatTable::IsEndMark(uint32_t value) const {
  switch (m_geometry.kind) {
    case FatKind::kFat12: return value >= 0x0FF8;
    case FatKind::kFat16: return value >= 0xFFF8;
    default: return (value & 0x0FFFFFFF) >= 0x0FFFFFF8;
  }
}

std::optional<uint32_t> FatTable::NextCluster(uint32_t cluster) {
  uint32_t value = 0;
  if (ReadEntry(cluster, value) != kOk) return std::nullopt;
  uint32_t next;
  if (value == 0) {
    uint32_t following = 0;
    if (ReadEntry(uint64_t(cluster) + 1, following) != kOk || following != 0) return std::nullopt;
    next = cluster + 1;
  } else {
    if (IsEndMark(value)) return std::nullopt;
    next = m_geometry.IsFat32() ? value & 0x0FFFFFFF : value;
  }
  if (next < 2 || next > m_geometry.clusterCount + 1) return std::nullopt;
  return next;
}

}  // namespace brinvale
