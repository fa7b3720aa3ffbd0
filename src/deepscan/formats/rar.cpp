// RAR archives (version 1.5 to 4 format).
#include <algorithm>

#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

using namespace std::literals;

int DetectRar(SizingContext&, std::span<const uint8_t> b) {
  return HasAt(b, 0, "Rar!\x1A\x07\x00"sv) ? kTypeRar : kTypeUnknown;
}

// The end-of-archive block (CRC C43D, type 7B, flags 4000, size 7) ends it.
uint64_t SizeRar(SizingContext& ctx, std::span<const uint8_t> b) {
  constexpr auto kEndOfArchive = "\xC4\x3D\x7B\x00\x40\x07\x00"sv;
  ChunkReader chunks(ctx, 4 * kGiB, NextStartRule::kAnyFormat);
  chunks.SetStartSector(b);
  while (chunks.Next()) {
    const size_t end = FindFooter(chunks.Window(), kEndOfArchive, ctx.bytesPerSector,
                                  chunks.SearchFrom(kEndOfArchive.size()));
    if (end != kNotFound) return std::min(chunks.Counted(), chunks.WindowOffset() + end);
  }
  return chunks.Counted();
}

}  // namespace brinvale
