#include "deepscan/chunk_reader.h"

#include <algorithm>
#include <cstring>

#include "common/error_codes.h"
#include "deepscan/fat_directory_tests.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/file_type_table.h"
#include "deepscan/format_bytes.h"

namespace brinvale {

namespace {

constexpr std::string_view kBootOemNames[] = {"MSDOS5.0", "MSWIN4.0", "MSWIN4.1", "NTFS    ",
                                              "EXFAT   "};

// "NTFS" and "$STA" as UTF-16LE text.
constexpr std::string_view kUtf16Ntfs{"N\0T\0F\0S\0", 8};
constexpr std::string_view kUtf16Sta{"$\0S\0T\0A\0", 8};

}  // namespace

bool IsFileSystemMetadata(std::span<const uint8_t> s) {
  if (s.size() < 32) return false;
  if (HasAt(s, 0, "FILE") || HasAt(s, 0, "INDX")) return true;
  if (HasAt(s, 0, "RSTR") && FindBytes(s, kUtf16Ntfs) != kNotFound) return true;
  if (HasAt(s, 0, kUtf16Sta)) return true;
  if (s[0] == 0xEB && s[2] == 0x90) {
    for (std::string_view oem : kBootOemNames)
      if (HasAt(s, 3, oem)) return true;
  }
  // A folder's first sector ("." and "..") is directory data too.
  return IsDotDirectoryStart(s) || IsDirectorySector(s);
}

bool IsNextStart(SizingContext& ctx, std::span<const uint8_t> sector, NextStartRule rule) {
  const int code = DetectFirstMatch(ctx, sector).typeCode;
  if (code != kTypeUnknown && !(rule == NextStartRule::kIgnoreMpeg && code == kTypeMpeg) &&
      !(rule == NextStartRule::kIgnoreMp2 && code == kTypeMp2))
    return true;
  return IsFileSystemMetadata(sector);
}

ChunkReader::ChunkReader(SizingContext& ctx, uint64_t capBytes, NextStartRule rule)
    : m_ctx(ctx), m_capBytes(capBytes), m_rule(rule), m_counted(ctx.bytesPerSector) {}

void ChunkReader::SetStartSector(std::span<const uint8_t> buffer) {
  const uint32_t bps = m_ctx.bytesPerSector;
  if (bps == 0 || bps > SizingContext::kMaxBytesPerSector || buffer.size() < bps) return;
  std::span<uint8_t> area = m_ctx.ChunkArea();
  std::memcpy(area.data() + SizingContext::kMaxBytesPerSector - bps, buffer.data(), bps);
  m_haveTail = true;
}

bool ChunkReader::Next() {
  m_first = m_sectorsRead == 0;
  // Keep the file's last sector so far in front of the chunk buffer.
  if (!m_first && !m_filePart.empty()) {
    const uint32_t sectorBytes = m_ctx.bytesPerSector;
    std::memmove(m_ctx.ChunkArea().data() + SizingContext::kMaxBytesPerSector - sectorBytes,
                 m_filePart.data() + m_filePart.size() - sectorBytes, sectorBytes);
    m_haveTail = true;
  } else if (!m_first) {
    m_haveTail = false;
  }
  m_filePart = {};
  m_window = {};
  if (m_done) return false;
  const uint32_t bps = m_ctx.bytesPerSector;
  if (bps == 0 || bps > SizingContext::kMaxBytesPerSector || m_ctx.reader == nullptr) {
    m_done = true;
    return false;
  }
  const uint64_t first = m_ctx.startSector + 1 + m_sectorsRead;
  const uint64_t total = m_ctx.reader->totalSectors;
  // A chunk never passes the cap nor the end of the medium, so the last
  // sectors of a medium are read as a short chunk.
  uint64_t count = SizingContext::kChunkBytes / bps;
  count = std::min(count, (m_capBytes - std::min(m_capBytes, m_sectorsRead * bps)) / bps);
  count = std::min(count, first < total ? total - first : 0);
  if (count == 0) {
    m_done = true;
    return false;
  }
  std::span<uint8_t> chunk = m_ctx.ChunkBuffer().first(size_t(count) * bps);
  if (m_ctx.Read(first, uint32_t(count), chunk) != kOk) {
    m_done = true;
    return false;
  }
  m_fileOffset = bps * (1 + m_sectorsRead);
  m_sectorsRead += count;
  m_ctx.sectorsReadBySizing += count;

  const SizingProgress& p = m_ctx.progress;
  if (p.callback != nullptr) {
    const uint64_t position = p.sectorsScanned + m_ctx.sectorsReadBySizing;
    const int percent = p.totalSectors ? int(position * 100 / p.totalSectors) : 0;
    const int answer = p.callback(p.user, percent + 10, p.scale, p.secondsLeft, position,
                                  p.totalSectors, p.filesFound, 0);
    if (answer != 0) {
      m_ctx.stopValue = answer;
      m_done = true;
      return false;
    }
  }

  size_t fileSectors = size_t(count);
  for (size_t i = 0; i < count; ++i) {
    m_ctx.currentSector = first + i;
    if (IsNextStart(m_ctx, chunk.subspan(i * bps, bps), m_rule)) {
      fileSectors = i;
      m_metNextStart = true;
      m_done = true;
      break;
    }
  }
  m_counted += uint64_t(fileSectors) * bps;
  m_filePart = chunk.first(fileSectors * bps);
  m_tailBytes = m_haveTail ? bps : 0;
  m_window = std::span<const uint8_t>(chunk.data() - m_tailBytes, m_tailBytes + m_filePart.size());
  return true;
}

uint64_t SizeUntilNextStart(SizingContext& ctx, uint64_t capBytes, NextStartRule rule) {
  ChunkReader chunks(ctx, capBytes, rule);
  while (chunks.Next()) {
  }
  return chunks.Counted();
}

}  // namespace brinvale
