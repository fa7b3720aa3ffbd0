// Windows bitmaps (.bmp, .dib), which carry their length.
#include <algorithm>
#include <cstdlib>

#include "common/bytes.h"
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

// "BM" (or OS/2 "BA"), file size at 2, two reserved words (6, 8) of 0, pixel
// offset at 10, and a 40-byte BITMAPINFOHEADER (size at 14).
int DetectBmp(SizingContext&, std::span<const uint8_t> b) {
  if (b.size() < 40 || !(HasAt(b, 0, "BM") || HasAt(b, 0, "BA"))) return kTypeUnknown;
  return LoadLe16(b, 6) == 0 && LoadLe16(b, 8) == 0 && LoadLe32(b, 14) == 40 ? kTypeBmp
                                                                             : kTypeUnknown;
}

uint64_t SizeBmp(SizingContext&, std::span<const uint8_t> b) {
  if (b.size() < 6) return 0;
  return std::min<uint64_t>(LoadLe32(b, 2), 128 * kMiB);
}

}  // namespace brinvale

// A bitmap states its own length (file size at 2); the walk checks that
// its headers and pixel array fit in it: pixel offset at 10, info header
// size at 14 (12 for OS/2 core headers, 40 and up for Windows ones), then
// width, height, planes 1, bits per pixel and compression. Uncompressed
// rows are padded to 4 bytes.
namespace brinvale {

CarvedVerdict CheckBmp(CarvedBytes& f) {
  if (!f.HasAt(0, "BM")) return {};  // "BA" arrays of OS/2 bitmaps: no rule
  uint32_t fileSize = 0, pixelsAt = 0, infoSize = 0;
  if (!f.Le32(2, fileSize) || !f.Le32(10, pixelsAt) || !f.Le32(14, infoSize))
    return DamagedVerdict(CarvedFault::kRunsOff);
  if (infoSize != 12 && (infoSize < 40 || infoSize > 124))
    return DamagedVerdict(CarvedFault::kBadStructure);
  if (fileSize < 14 + infoSize || pixelsAt < 14 + infoSize || pixelsAt > fileSize)
    return DamagedVerdict(CarvedFault::kBadStructure);
  if (!f.Holds(0, fileSize)) return DamagedVerdict(CarvedFault::kRunsOff);
  uint64_t width = 0, height = 0;
  uint16_t planes = 0, bits = 0;
  uint32_t compression = 0, imageSize = 0;
  if (infoSize == 12) {
    uint16_t w = 0, h = 0;
    if (!f.Le16(18, w) || !f.Le16(20, h) || !f.Le16(22, planes) || !f.Le16(24, bits))
      return DamagedVerdict(CarvedFault::kRunsOff);
    width = w;
    height = h;
  } else {
    uint32_t w = 0, h = 0;
    if (!f.Le32(18, w) || !f.Le32(22, h) || !f.Le16(26, planes) || !f.Le16(28, bits) ||
        !f.Le32(30, compression) || !f.Le32(34, imageSize))
      return DamagedVerdict(CarvedFault::kRunsOff);
    width = uint64_t(std::abs(int64_t(int32_t(w))));
    height = uint64_t(std::abs(int64_t(int32_t(h))));  // negative: top-down rows
  }
  if (planes != 1) return DamagedVerdict(CarvedFault::kBadStructure);
  const bool raw = compression == 0 || compression == 3 || compression == 6;
  if (raw) {
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
      return DamagedVerdict(CarvedFault::kBadStructure);
    const uint64_t row = (width * bits + 31) / 32 * 4;
    if (height != 0 && row > (uint64_t(fileSize) - pixelsAt) / height)
      return DamagedVerdict(CarvedFault::kBadStructure);
  } else if (uint64_t(pixelsAt) + imageSize > fileSize) {
    return DamagedVerdict(CarvedFault::kBadStructure);
  }
  return CompleteVerdict(fileSize);
}

}  // namespace brinvale
