// Monkey's Audio (.ape), closed by an APEv2 tag.
#include <algorithm>

#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

using namespace std::literals;

int DetectApe(SizingContext&, std::span<const uint8_t> b) {
  return HasAt(b, 0, "MAC ") ? kTypeApe : kTypeUnknown;
}

// An APEv2 tag has a 32-byte header and a 32-byte footer, both "APETAGEX"
// and version 2000. With both in one chunk the file ends after the footer;
// with only one, the file ends with that chunk.
uint64_t SizeApe(SizingContext& ctx, std::span<const uint8_t> b) {
  constexpr auto kTagMark = "APETAGEX\xD0\x07"sv;
  constexpr uint64_t kFooterBytes = 32;
  ChunkReader chunks(ctx, 2 * kGiB, NextStartRule::kAnyFormat);
  chunks.SetStartSector(b);
  while (chunks.Next()) {
    const auto part = chunks.Window();
    const size_t first = FindBytes(part, kTagMark, chunks.SearchFrom(kTagMark.size()));
    if (first == kNotFound) continue;
    const size_t second = FindBytes(part, kTagMark, first + 1);
    if (second == kNotFound) return chunks.Counted();
    return std::min(chunks.Counted(), chunks.WindowOffset() + second + kFooterBytes);
  }
  return chunks.Counted();
}

}  // namespace brinvale
