// RIFF files: AVI video and WAV sound. Both carry their length.
#include "common/bytes.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

namespace {

// The RIFF chunk's data length (at 4) plus its own 8-byte header.
uint64_t SizeRiff(SizingContext& ctx, std::span<const uint8_t> b) {
  if (b.size() < 8) return ctx.bytesPerSector;
  return uint64_t(LoadLe32(b, 4)) + 8;
}

}  // namespace

// "RIFF", length, form type "AVI " at 8, a "LIST" chunk first at 12.
int DetectAvi(SizingContext&, std::span<const uint8_t> b) {
  return b.size() >= 16 && HasAt(b, 0, "RIFF") && HasAt(b, 8, "AVI ") && HasAt(b, 12, "LIST")
             ? kTypeAvi
             : kTypeUnknown;
}

uint64_t SizeAvi(SizingContext& ctx, std::span<const uint8_t> b) { return SizeRiff(ctx, b); }

// "RIFF", length, form type "WAVE" at 8, the "fmt " chunk first at 12.
int DetectWav(SizingContext&, std::span<const uint8_t> b) {
  return b.size() >= 16 && HasAt(b, 0, "RIFF") && HasAt(b, 8, "WAVE") && HasAt(b, 12, "fmt ")
             ? kTypeWav
             : kTypeUnknown;
}

uint64_t SizeWav(SizingContext& ctx, std::span<const uint8_t> b) { return SizeRiff(ctx, b); }

}  // namespace brinvale
