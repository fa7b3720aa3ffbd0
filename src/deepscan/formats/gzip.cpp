// gzip streams.
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

using namespace std::literals;

// Magic 1F 8B, method 8 (deflate), flags (3) none or a file name only,
// extra flags (8) 2 or 4 (best or fastest compression), system (9) below 14
// or 255 (unknown).
int DetectGzip(SizingContext&, std::span<const uint8_t> b) {
  if (b.size() < 16 || !HasAt(b, 0, "\x1F\x8B\x08"sv)) return kTypeUnknown;
  if ((b[3] != 0 && b[3] != 8) || (b[8] != 2 && b[8] != 4)) return kTypeUnknown;
  return b[9] < 14 || b[9] == 255 ? kTypeGzip : kTypeUnknown;
}

uint64_t SizeGzip(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 6 * kGiB);
}

}  // namespace brinvale
