// Microsoft cabinets, which carry their length.
#include <algorithm>

#include "common/bytes.h"
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

int DetectCab(SizingContext&, std::span<const uint8_t> b) {
  return b.size() >= 36 && HasAt(b, 0, "MSCF") ? kTypeCab : kTypeUnknown;
}

// "MSCF", reserved, cabinet size at 8.
uint64_t SizeCab(SizingContext& ctx, std::span<const uint8_t> b) {
  if (b.size() < 36) return ctx.bytesPerSector;
  return std::min<uint64_t>(LoadLe32(b, 8), 1 * kGiB);
}

}  // namespace brinvale
