// TIFF pictures, big-endian ("MM", 42) or little-endian ("II", 42).
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

using namespace std::literals;

int DetectTiff(SizingContext&, std::span<const uint8_t> b) {
  return HasAt(b, 0, "MM\x00\x2A"sv) || HasAt(b, 0, "II\x2A\x00"sv) ? kTypeTiff : kTypeUnknown;
}

uint64_t SizeTiff(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 128 * kMiB);
}

}  // namespace brinvale
