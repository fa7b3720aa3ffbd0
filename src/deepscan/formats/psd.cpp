// Photoshop documents.
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

using namespace std::literals;

int DetectPsd(SizingContext&, std::span<const uint8_t> b) {
  return b.size() >= 40 && HasAt(b, 0, "8BPS") ? kTypePsd : kTypeUnknown;
}

uint64_t SizePsd(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 128 * kMiB);
}

}  // namespace brinvale

// The section walk of a Photoshop document: a 26-byte header ("8BPS",
// version 1, or 2 for large documents, six reserved zero bytes, channels,
// height, width, depth, colour mode; BE), then four sections, each after
// the one before: colour-mode data and image resources (32-bit lengths; the
// resources are "8BIM" blocks that must fill their section), layer and mask
// information (32-bit length, 64-bit in version 2) and the image data:
// compression 0 (raw planes) or 1 (RLE rows, a table of row byte counts
// first) give its length; zip-compressed data does not state one.
namespace brinvale {

namespace {

// Image resource blocks: "8BIM", id (2), a Pascal name padded to an even
// length, a 32-bit data size, the data padded to even.
bool ResourcesFill(CarvedBytes& f, uint64_t at, uint64_t end) {
  while (at < end) {
    uint8_t nameLength = 0;
    uint32_t size = 0;
    if (!f.HasAt(at, "8BIM") || !f.Byte(at + 6, nameLength)) return false;
    const uint64_t sizeAt = at + 6 + ((uint64_t(nameLength) + 2) & ~1ull);
    if (!f.Be32(sizeAt, size)) return false;
    at = sizeAt + 4 + ((uint64_t(size) + 1) & ~1ull);
  }
  return at == end;
}

}  // namespace

CarvedVerdict CheckPsd(CarvedBytes& f) {
  uint16_t version = 0, channels = 0, depth = 0;
  uint32_t height = 0, width = 0;
  if (!f.HasAt(0, "8BPS") || !f.Be16(4, version) || !f.Be16(12, channels) || !f.Be32(14, height) ||
      !f.Be32(18, width) || !f.Be16(22, depth))
    return DamagedVerdict(CarvedFault::kRunsOff);
  if ((version != 1 && version != 2) || !f.HasAt(6, "\0\0\0\0\0\0"sv) || channels == 0 ||
      channels > 56 || (depth != 1 && depth != 8 && depth != 16 && depth != 32))
    return DamagedVerdict(CarvedFault::kBadStructure);
  uint64_t at = 26;
  uint32_t length = 0;
  if (!f.Be32(at, length)) return DamagedVerdict(CarvedFault::kRunsOff);  // colour-mode data
  at += 4 + uint64_t(length);
  if (!f.Be32(at, length)) return DamagedVerdict(CarvedFault::kRunsOff);  // image resources
  if (!f.Holds(at + 4, length)) return DamagedVerdict(CarvedFault::kRunsOff);
  if (!ResourcesFill(f, at + 4, at + 4 + length)) return DamagedVerdict(CarvedFault::kBadStructure);
  at += 4 + uint64_t(length);
  uint64_t layers = 0;
  if (version == 1) {
    uint32_t l = 0;
    if (!f.Be32(at, l)) return DamagedVerdict(CarvedFault::kRunsOff);
    layers = l;
    at += 4;
  } else {
    uint32_t hi = 0, lo = 0;
    if (!f.Be32(at, hi) || !f.Be32(at + 4, lo)) return DamagedVerdict(CarvedFault::kRunsOff);
    layers = uint64_t(hi) << 32 | lo;
    at += 8;
  }
  if (!f.Holds(at, layers)) return DamagedVerdict(CarvedFault::kRunsOff);
  at += layers;
  uint16_t compression = 0;
  if (!f.Be16(at, compression)) return DamagedVerdict(CarvedFault::kRunsOff);
  at += 2;
  const uint64_t rows = uint64_t(channels) * height;
  uint64_t data = 0;
  if (compression == 0) {
    data = rows * ((uint64_t(width) * depth + 7) / 8);
  } else if (compression == 1) {
    // The row byte counts: 16-bit in version 1, 32-bit in version 2.
    const uint32_t entry = version == 1 ? 2 : 4;
    if (!f.Holds(at, rows * entry)) return DamagedVerdict(CarvedFault::kRunsOff);
    for (uint64_t r = 0; r < rows; ++r) {
      uint32_t n = 0;
      if (entry == 2) {
        uint16_t s = 0;
        if (!f.Be16(at + 2 * r, s)) return DamagedVerdict(CarvedFault::kRunsOff);
        n = s;
      } else if (!f.Be32(at + 4 * r, n)) {
        return DamagedVerdict(CarvedFault::kRunsOff);
      }
      data += n;
    }
    data += rows * entry;
  } else if (compression == 2 || compression == 3) {
    return {};  // zip-compressed planes: their length is not stated
  } else {
    return DamagedVerdict(CarvedFault::kBadStructure);
  }
  if (!f.Holds(at, data)) return DamagedVerdict(CarvedFault::kRunsOff);
  return CompleteVerdict(at + data);
}

}  // namespace brinvale
