// Material Exchange Format: a closed, complete header partition pack first.
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

using namespace std::literals;

int DetectMxf(SizingContext&, std::span<const uint8_t> b) {
  constexpr auto kHeaderPartition =
      "\x06\x0E\x2B\x34\x02\x05\x01\x01\x0D\x01\x02\x01\x01\x02\x04\x00"sv;
  return HasAt(b, 0, kHeaderPartition) ? kTypeMxf : kTypeUnknown;
}

uint64_t SizeMxf(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 6 * kGiB);
}

}  // namespace brinvale
