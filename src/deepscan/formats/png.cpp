// PNG pictures, closed by the IEND chunk and its CRC.
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/footer_sizing.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

using namespace std::literals;

int DetectPng(SizingContext&, std::span<const uint8_t> b) {
  return HasAt(b, 0, "\x89PNG\r\n\x1A\n"sv) ? kTypePng : kTypeUnknown;
}

uint64_t SizePng(SizingContext& ctx, std::span<const uint8_t> b) {
  return SizeToFirstFooter(ctx, b, "IEND\xAE\x42\x60\x82"sv, 128 * kMiB);
}

}  // namespace brinvale
