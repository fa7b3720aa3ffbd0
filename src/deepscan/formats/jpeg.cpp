// JPEG pictures (JFIF and Exif), closed by the end-of-image marker FF D9.
#include <algorithm>

#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

using namespace std::literals;

namespace {

constexpr auto kEndOfImage = "\xFF\xD9"sv;

// The end of the first FF D9 in `bytes` when it passes the footer rule.
size_t FirstEndOfImage(std::span<const uint8_t> bytes, uint32_t bytesPerSector, size_t from = 0) {
  const size_t at = FindBytes(bytes, kEndOfImage, from);
  if (at == kNotFound || !PassesFooterRule(bytes, at + 2, bytesPerSector)) return kNotFound;
  return at + 2;
}

}  // namespace

// Start of image, then an APP0 "JFIF" or APP1 "Exif" segment (name at 6).
int DetectJpeg(SizingContext&, std::span<const uint8_t> b) {
  if (b.size() < 16) return kTypeUnknown;
  if (HasAt(b, 0, "\xFF\xD8\xFF\xE0"sv) && HasAt(b, 6, "JFIF")) return kTypeJpeg;
  if (HasAt(b, 0, "\xFF\xD8\xFF\xE1"sv) && HasAt(b, 6, "Exif")) return kTypeJpeg;
  return kTypeUnknown;
}

// Embedded thumbnails carry their own FF D9, so only the first one of the
// buffer and of each chunk is looked at, and the file runs on to the next
// start; the last end marker seen then trims it.
uint64_t SizeJpeg(SizingContext& ctx, std::span<const uint8_t> b) {
  if (size_t end = FirstEndOfImage(b, ctx.bytesPerSector); end != kNotFound) return end;
  uint64_t lastEnd = UINT64_MAX;
  ChunkReader chunks(ctx, 128 * kMiB, NextStartRule::kAnyFormat);
  chunks.SetStartSector(b);
  while (chunks.Next()) {
    const size_t end = FirstEndOfImage(chunks.Window(), ctx.bytesPerSector, chunks.NewBytesFrom(2));
    if (end != kNotFound) lastEnd = chunks.WindowOffset() + end;
  }
  return std::min(chunks.Counted(), lastEnd);
}

}  // namespace brinvale
