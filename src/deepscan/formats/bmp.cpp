// Windows bitmaps (.bmp, .dib), which carry their length.
#include <algorithm>

#include "common/bytes.h"
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

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
