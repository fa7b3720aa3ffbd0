#include "deepscan/carved_bytes.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include <zlib.h>

#include "common/error_codes.h"

namespace brinvale {

// zlib's CRC-32 works on several bytes per step; a byte-at-a-time table
// took a quarter of a full scan's time on a volume of pictures.
uint32_t Crc32Continue(uint32_t crc, std::span<const uint8_t> bytes) {
  uLong c = crc;
  const Bytef* at = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    const auto step = uInt(std::min<size_t>(left, 1u << 30));
    c = crc32(c, at, step);
    at += step;
    left -= step;
  }
  return uint32_t(c);
}

CarvedBytes::CarvedBytes(SectorReader& reader, uint32_t bytesPerSector, uint64_t startSector,
                         uint64_t extent)
    : CarvedBytes(reader, bytesPerSector, FileExtentMap{{extent, startSector, false}}, extent) {}

CarvedBytes::CarvedBytes(SectorReader& reader, uint32_t bytesPerSector, FileExtentMap map,
                         uint64_t extent)
    : m_reader(&reader),
      m_bytesPerSector(bytesPerSector),
      m_pieces(std::move(map)),
      m_window(new uint8_t[kWindowBytes]) {
  uint64_t at = 0;
  m_pieceStarts.reserve(m_pieces.size());
  for (const FileExtent& piece : m_pieces) {
    m_pieceStarts.push_back(at);
    at = piece.length > UINT64_MAX - at ? UINT64_MAX : at + piece.length;
  }
  m_extent = std::min(extent, at);
}

CarvedBytes::CarvedBytes(std::span<const uint8_t> bytes)
    : m_memory(bytes), m_extent(bytes.size()), m_window(new uint8_t[kWindowBytes]) {}

size_t CarvedBytes::FillFromPiece(size_t piece, uint64_t offset, std::span<uint8_t> out) {
  const FileExtent& p = m_pieces[piece];
  if (p.zeros) {
    std::memset(out.data(), 0, out.size());
    return out.size();
  }
  const uint32_t bps = m_bytesPerSector;
  // Whole sectors are read; a stretch may begin or end inside one.
  const uint64_t sector = p.sector + offset / bps;
  const size_t skip = size_t(offset % bps);
  const uint64_t wanted = (skip + out.size() + bps - 1) / bps;
  if (sector >= m_reader->totalSectors) return 0;
  const uint32_t count = uint32_t(std::min<uint64_t>(wanted, m_reader->totalSectors - sector));
  uint8_t* into = out.data();
  std::vector<uint8_t> scratch;
  if (skip != 0 || uint64_t(count) * bps > out.size()) {
    scratch.resize(size_t(count) * bps);
    into = scratch.data();
  }
  uint32_t got = 0;
  if (ReadSectors(count, *m_reader, into, sector, bps, got) != kOk)
    got = std::min(got, count);
  else
    got = count;
  const uint64_t arrived = uint64_t(got) * bps;
  if (arrived <= skip) return 0;
  const size_t take = size_t(std::min<uint64_t>(arrived - skip, out.size()));
  if (into != out.data()) std::memcpy(out.data(), into + skip, take);
  return take;
}

bool CarvedBytes::Load(uint64_t window) {
  if (window == m_windowIndex) return true;
  m_windowIndex = UINT64_MAX;
  const uint64_t first = window * kWindowBytes;
  const size_t bytes = size_t(std::min<uint64_t>(kWindowBytes, m_extent - first));
  if (m_reader == nullptr) {
    std::memcpy(m_window.get(), m_memory.data() + first, bytes);
    m_windowBytes = bytes;
    m_windowIndex = window;
    return true;
  }
  const uint32_t bps = m_bytesPerSector;
  if (bps == 0 || kWindowBytes % bps != 0) return !(m_readFailed = true);
  // The stretch that holds `first`, then the ones after it.
  size_t piece = size_t(std::upper_bound(m_pieceStarts.begin(), m_pieceStarts.end(), first) -
                        m_pieceStarts.begin());
  if (piece == 0) return !(m_readFailed = true);
  --piece;
  size_t filled = 0;
  for (; filled < bytes && piece < m_pieces.size(); ++piece) {
    const uint64_t at = first + filled - m_pieceStarts[piece];
    if (at >= m_pieces[piece].length) continue;
    const size_t want = size_t(std::min<uint64_t>(m_pieces[piece].length - at, bytes - filled));
    const size_t got =
        FillFromPiece(piece, at, std::span<uint8_t>(m_window.get() + filled, want));
    filled += got;
    // The medium ended (or a read fell short) inside the stretch.
    if (got < want) break;
  }
  m_windowBytes = filled;
  if (m_windowBytes == 0) return !(m_readFailed = true);
  m_windowIndex = window;
  return true;
}

std::span<const uint8_t> CarvedBytes::View(uint64_t offset, size_t maxLength) {
  if (offset >= m_extent || maxLength == 0) return {};
  const uint64_t window = offset / kWindowBytes;
  if (!Load(window)) return {};
  const size_t in = size_t(offset - window * kWindowBytes);
  if (in >= m_windowBytes) {
    // The medium ended (or a read fell short) inside the extent.
    m_readFailed = true;
    return {};
  }
  return {m_window.get() + in, std::min(m_windowBytes - in, maxLength)};
}

bool CarvedBytes::Read(uint64_t offset, std::span<uint8_t> out) {
  if (!Holds(offset, out.size())) return false;
  size_t done = 0;
  while (done < out.size()) {
    const auto view = View(offset + done, out.size() - done);
    if (view.empty()) return false;
    std::memcpy(out.data() + done, view.data(), view.size());
    done += view.size();
  }
  return true;
}

bool CarvedBytes::Byte(uint64_t offset, uint8_t& out) {
  const auto view = View(offset, 1);
  if (view.empty()) return false;
  out = view[0];
  return true;
}

bool CarvedBytes::Le16(uint64_t offset, uint16_t& out) {
  uint8_t b[2];
  if (!Read(offset, b)) return false;
  out = uint16_t(b[0] | b[1] << 8);
  return true;
}

bool CarvedBytes::Le32(uint64_t offset, uint32_t& out) {
  uint8_t b[4];
  if (!Read(offset, b)) return false;
  out = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  return true;
}

bool CarvedBytes::Le64(uint64_t offset, uint64_t& out) {
  uint32_t lo = 0, hi = 0;
  if (!Le32(offset, lo) || !Le32(offset + 4, hi)) return false;
  out = uint64_t(hi) << 32 | lo;
  return true;
}

bool CarvedBytes::Be16(uint64_t offset, uint16_t& out) {
  uint8_t b[2];
  if (!Read(offset, b)) return false;
  out = uint16_t(b[0] << 8 | b[1]);
  return true;
}

bool CarvedBytes::Be32(uint64_t offset, uint32_t& out) {
  uint8_t b[4];
  if (!Read(offset, b)) return false;
  out = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | uint32_t(b[3]);
  return true;
}

bool CarvedBytes::HasAt(uint64_t offset, std::string_view bytes) {
  uint8_t b[64];
  if (bytes.size() > sizeof b || !Read(offset, std::span<uint8_t>(b, bytes.size()))) return false;
  return std::memcmp(b, bytes.data(), bytes.size()) == 0;
}

bool CarvedBytes::FindAll(std::string_view needle, const std::function<bool(uint64_t)>& visit,
                          uint64_t from) {
  if (needle.empty() || needle.size() > 64) return true;
  const size_t carry = needle.size() - 1;
  std::vector<uint8_t> buffer;
  buffer.reserve(kWindowBytes + carry);
  uint64_t bufferStart = from;  // file offset of buffer[0]
  uint64_t next = from;         // next offset to read
  while (next < m_extent) {
    const auto view = View(next);
    if (view.empty()) return false;
    // Keep the last needle-1 bytes so that a needle split between two
    // views is found.
    if (buffer.size() > carry) {
      buffer.erase(buffer.begin(), buffer.end() - carry);
      bufferStart = next - carry;
    } else if (buffer.empty()) {
      bufferStart = next;
    }
    buffer.insert(buffer.end(), view.begin(), view.end());
    next += view.size();
    const uint8_t first = uint8_t(needle[0]);
    for (size_t at = 0; at + needle.size() <= buffer.size(); ++at) {
      const void* hit =
          std::memchr(buffer.data() + at, first, buffer.size() - needle.size() + 1 - at);
      if (hit == nullptr) break;
      at = size_t(static_cast<const uint8_t*>(hit) - buffer.data());
      if (std::memcmp(buffer.data() + at, needle.data(), needle.size()) == 0 &&
          !visit(bufferStart + at))
        return true;
    }
  }
  return true;
}

bool CarvedBytes::Crc32(uint64_t offset, uint64_t length, uint32_t& crc) {
  if (!Holds(offset, length)) return false;
  uint64_t done = 0;
  while (done < length) {
    const auto view = View(offset + done, size_t(std::min<uint64_t>(length - done, SIZE_MAX)));
    if (view.empty()) return false;
    crc = Crc32Continue(crc, view);
    done += view.size();
  }
  return true;
}

}  // namespace brinvale
