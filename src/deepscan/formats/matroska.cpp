// Matroska and WebM (.mkv): an EBML header first.
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

using namespace std::literals;

int DetectMkv(SizingContext&, std::span<const uint8_t> b) {
  return b.size() >= 16 && HasAt(b, 0, "\x1A\x45\xDF\xA3"sv) ? kTypeMkv : kTypeUnknown;
}

uint64_t SizeMkv(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 64 * kGiB);
}

}  // namespace brinvale
