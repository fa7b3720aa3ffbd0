// Photoshop documents.
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

int DetectPsd(SizingContext&, std::span<const uint8_t> b) {
  return b.size() >= 40 && HasAt(b, 0, "8BPS") ? kTypePsd : kTypeUnknown;
}

uint64_t SizePsd(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 128 * kMiB);
}

}  // namespace brinvale
