// RealMedia (.rm, .rmvb).
#include <algorithm>

#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

using namespace std::literals;

int DetectRealMedia(SizingContext&, std::span<const uint8_t> b) {
  return HasAt(b, 0, ".RMF") ? kTypeRealMedia : kTypeUnknown;
}

// The file ends after the first index chunk header: "INDX", chunk size 20,
// version 0, two entries and no next index.
uint64_t SizeRealMedia(SizingContext& ctx, std::span<const uint8_t> b) {
  constexpr auto kIndexHeader =
      "INDX\x00\x00\x00\x14\x00\x00\x00\x00\x00\x00\x00\x02\x00\x00\x00\x00"sv;
  ChunkReader chunks(ctx, 6 * kGiB, NextStartRule::kAnyFormat);
  chunks.SetStartSector(b);
  while (chunks.Next()) {
    const size_t at =
        FindBytes(chunks.Window(), kIndexHeader, chunks.SearchFrom(kIndexHeader.size()));
    if (at != kNotFound)
      return std::min(chunks.Counted(), chunks.WindowOffset() + at + kIndexHeader.size());
  }
  return chunks.Counted();
}

}  // namespace brinvale
