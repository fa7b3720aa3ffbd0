// ISO base media files: MP4, 3GP and QuickTime.
#include <algorithm>

#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

// The first box is "ftyp" (size at 0, type at 4, major brand at 8).
int DetectMp4(SizingContext&, std::span<const uint8_t> b) {
  if (b.size() < 32 || !HasAt(b, 4, "ftyp")) return kTypeUnknown;
  return HasAt(b, 8, "iso") || HasAt(b, 8, "mp42") ? kTypeMp4 : kTypeUnknown;
}

// Some encoders close the file with a "free" box holding their name; the
// file then ends after that text and the non-zero bytes that follow it.
uint64_t SizeMp4(SizingContext& ctx, std::span<const uint8_t> b) {
  constexpr std::string_view kProducedBy = "freeIsoMedia File Produced";
  ChunkReader chunks(ctx, 6 * kGiB, NextStartRule::kAnyFormat);
  chunks.SetStartSector(b);
  while (chunks.Next()) {
    const auto part = chunks.Window();
    size_t end = FindBytes(part, kProducedBy, chunks.SearchFrom(kProducedBy.size()));
    if (end == kNotFound) continue;
    end += kProducedBy.size();
    while (end < part.size() && part[end] != 0) ++end;
    return std::min(chunks.Counted(), chunks.WindowOffset() + end);
  }
  return chunks.Counted();
}

int Detect3gp(SizingContext&, std::span<const uint8_t> b) {
  return b.size() >= 32 && HasAt(b, 4, "ftyp") && HasAt(b, 8, "3gp") ? kType3gp : kTypeUnknown;
}

uint64_t Size3gp(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 6 * kGiB);
}

// A movie box first, or a file type box with the QuickTime brand.
int DetectMov(SizingContext&, std::span<const uint8_t> b) {
  if (b.size() < 16) return kTypeUnknown;
  return HasAt(b, 0, "moov") || (HasAt(b, 4, "ftyp") && HasAt(b, 8, "qt  ")) ? kTypeMov
                                                                             : kTypeUnknown;
}

uint64_t SizeMov(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 6 * kGiB);
}

}  // namespace brinvale
