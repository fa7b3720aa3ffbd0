// TIFF pictures, big-endian ("MM", 42) or little-endian ("II", 42).
#include <algorithm>
#include <vector>

#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

using namespace std::literals;

int DetectTiff(SizingContext&, std::span<const uint8_t> b) {
  return HasAt(b, 0, "MM\x00\x2A"sv) || HasAt(b, 0, "II\x2A\x00"sv) ? kTypeTiff : kTypeUnknown;
}

uint64_t SizeTiff(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 128 * kMiB);
}

}  // namespace brinvale

// The IFD walk of a TIFF file: byte order ("II" or "MM"), 42 and the first
// IFD's offset; each IFD holds a 16-bit entry count, 12-byte entries (tag,
// type, count, value or offset) and the next IFD's offset. The file ends at
// the furthest byte that any IFD, value, strip or tile reaches; the
// SubIFDs, Exif, GPS and interoperability IFDs are walked too.
namespace brinvale {

namespace {

constexpr uint16_t kStripOffsets = 273, kStripByteCounts = 279, kTileOffsets = 324,
                   kTileByteCounts = 325, kSubIfds = 330, kJpegOffset = 513, kJpegLength = 514,
                   kExifIfd = 34665, kGpsIfd = 34853, kInteropIfd = 40965;
constexpr size_t kMaxIfds = 1024;
constexpr uint32_t kMaxArray = 1u << 20;

uint32_t TypeBytes(uint16_t type) {
  switch (type) {
    case 1:
    case 2:
    case 6:
    case 7: return 1;  // BYTE, ASCII, SBYTE, UNDEFINED
    case 3:
    case 8: return 2;  // SHORT, SSHORT
    case 4:
    case 9:
    case 11:
    case 13: return 4;  // LONG, SLONG, FLOAT, IFD
    case 5:
    case 10:
    case 12: return 8;  // RATIONAL, SRATIONAL, DOUBLE
    default: return 0;  // unknown types are skipped
  }
}

class TiffWalk {
 public:
  TiffWalk(CarvedBytes& f, bool bigEndian) : m_f(f), m_be(bigEndian) {}

  bool U16(uint64_t at, uint16_t& v) { return m_be ? m_f.Be16(at, v) : m_f.Le16(at, v); }
  bool U32(uint64_t at, uint32_t& v) { return m_be ? m_f.Be32(at, v) : m_f.Le32(at, v); }

  // The values of a SHORT or LONG entry (inline when they fit in 4 bytes).
  CarvedFault Values(uint64_t entry, std::vector<uint32_t>& out) {
    uint16_t type = 0;
    uint32_t count = 0;
    if (!U16(entry + 2, type) || !U32(entry + 4, count)) return CarvedFault::kRunsOff;
    if ((type != 3 && type != 4) || count > kMaxArray) return CarvedFault::kBadStructure;
    const uint32_t size = type == 3 ? 2 : 4;
    uint64_t at = entry + 8;
    if (uint64_t(count) * size > 4) {
      uint32_t offset = 0;
      if (!U32(entry + 8, offset)) return CarvedFault::kRunsOff;
      at = offset;
    }
    out.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
      if (type == 3) {
        uint16_t v = 0;
        if (!U16(at + 2ull * i, v)) return CarvedFault::kRunsOff;
        out[i] = v;
      } else if (!U32(at + 4ull * i, out[i])) {
        return CarvedFault::kRunsOff;
      }
    }
    return CarvedFault::kNone;
  }

  // Offsets with their byte counts: every extent must lie in the file.
  CarvedFault Extents(const std::vector<uint32_t>& offsets, const std::vector<uint32_t>& counts) {
    if (offsets.size() != counts.size()) return CarvedFault::kBadStructure;
    for (size_t i = 0; i < offsets.size(); ++i) {
      if (!Reach(offsets[i], counts[i])) return CarvedFault::kRunsOff;
    }
    return CarvedFault::kNone;
  }

  bool Reach(uint64_t at, uint64_t length) {
    if (!m_f.Holds(at, length)) return false;
    m_end = std::max(m_end, at + length);
    return true;
  }

  CarvedFault Ifd(uint32_t offset, std::vector<uint32_t>& more) {
    uint16_t count = 0;
    if (!U16(offset, count)) return CarvedFault::kRunsOff;
    if (count == 0) return CarvedFault::kBadStructure;
    if (!Reach(offset, 2 + 12ull * count + 4)) return CarvedFault::kRunsOff;
    std::vector<uint32_t> strips, stripCounts, tiles, tileCounts, jpeg, jpegLength;
    for (uint32_t i = 0; i < count; ++i) {
      const uint64_t entry = offset + 2 + 12ull * i;
      uint16_t tag = 0, type = 0;
      uint32_t n = 0, value = 0;
      if (!U16(entry, tag) || !U16(entry + 2, type) || !U32(entry + 4, n) || !U32(entry + 8, value))
        return CarvedFault::kRunsOff;
      const uint64_t bytes = uint64_t(n) * TypeBytes(type);
      if (bytes > 4 && !Reach(value, bytes)) return CarvedFault::kRunsOff;
      CarvedFault fault = CarvedFault::kNone;
      switch (tag) {
        case kStripOffsets: fault = Values(entry, strips); break;
        case kStripByteCounts: fault = Values(entry, stripCounts); break;
        case kTileOffsets: fault = Values(entry, tiles); break;
        case kTileByteCounts: fault = Values(entry, tileCounts); break;
        case kJpegOffset: fault = Values(entry, jpeg); break;
        case kJpegLength: fault = Values(entry, jpegLength); break;
        case kSubIfds:
        case kExifIfd:
        case kGpsIfd:
        case kInteropIfd: {
          std::vector<uint32_t> ifds;
          // SubIFDs may be typed LONG or IFD; both are 32-bit offsets.
          if (type == 13) {
            ifds.resize(n > kMaxArray ? 0 : n);
            const uint64_t at = bytes > 4 ? value : entry + 8;
            for (uint32_t k = 0; k < ifds.size(); ++k)
              if (!U32(at + 4ull * k, ifds[k])) return CarvedFault::kRunsOff;
          } else {
            fault = Values(entry, ifds);
          }
          more.insert(more.end(), ifds.begin(), ifds.end());
          break;
        }
        default: break;
      }
      if (fault != CarvedFault::kNone) return fault;
    }
    if (strips.empty() && tiles.empty() && jpeg.empty()) return CarvedFault::kNone;
    if (CarvedFault fault = Extents(strips, stripCounts); fault != CarvedFault::kNone) return fault;
    if (CarvedFault fault = Extents(tiles, tileCounts); fault != CarvedFault::kNone) return fault;
    return Extents(jpeg, jpegLength);
  }

  CarvedVerdict Run(uint32_t first) {
    std::vector<uint32_t> queue{first};
    std::vector<uint32_t> seen;
    while (!queue.empty()) {
      const uint32_t offset = queue.back();
      queue.pop_back();
      if (offset == 0) continue;
      if (offset < 8) return DamagedVerdict(CarvedFault::kBadStructure);
      if (std::find(seen.begin(), seen.end(), offset) != seen.end()) continue;  // a loop
      if (seen.size() >= kMaxIfds) return DamagedVerdict(CarvedFault::kBadStructure);
      seen.push_back(offset);
      std::vector<uint32_t> more;
      if (CarvedFault fault = Ifd(offset, more); fault != CarvedFault::kNone)
        return DamagedVerdict(fault);
      uint16_t count = 0;
      uint32_t next = 0;
      if (!U16(offset, count) || !U32(offset + 2 + 12ull * count, next))
        return DamagedVerdict(CarvedFault::kRunsOff);
      queue.push_back(next);
      queue.insert(queue.end(), more.begin(), more.end());
    }
    return CompleteVerdict(m_end);
  }

 private:
  CarvedBytes& m_f;
  bool m_be;
  uint64_t m_end = 8;
};

}  // namespace

CarvedVerdict CheckTiff(CarvedBytes& f) {
  const bool big = f.HasAt(0, "MM\x00\x2A"sv);
  if (!big && !f.HasAt(0, "II\x2A\x00"sv)) return DamagedVerdict(CarvedFault::kBadStructure);
  TiffWalk walk(f, big);
  uint32_t first = 0;
  if (!walk.U32(4, first)) return DamagedVerdict(CarvedFault::kRunsOff);
  if (first == 0) return DamagedVerdict(CarvedFault::kBadStructure);
  return walk.Run(first);
}

}  // namespace brinvale
