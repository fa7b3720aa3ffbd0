// GIF pictures, closed by an empty block and the trailer (00 3B).
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/footer_sizing.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

using namespace std::literals;

// "GIF" and a version such as "87a" or "89a".
int DetectGif(SizingContext&, std::span<const uint8_t> b) {
  const auto digit = [](uint8_t c) { return c >= '0' && c <= '9'; };
  return b.size() >= 8 && HasAt(b, 0, "GIF") && digit(b[3]) && digit(b[4]) && b[5] >= 'a' &&
                 b[5] <= 'z'
             ? kTypeGif
             : kTypeUnknown;
}

uint64_t SizeGif(SizingContext& ctx, std::span<const uint8_t> b) {
  return SizeToFirstFooter(ctx, b, "\x00\x3B"sv, 128 * kMiB);
}

}  // namespace brinvale
