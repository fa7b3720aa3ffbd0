// PDF documents.
#include <algorithm>

#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

int DetectPdf(SizingContext&, std::span<const uint8_t> b) {
  return HasAt(b, 0, "%PDF-") ? kTypePdf : kTypeUnknown;
}

// The last "%%EOF" of a chunk ends the document. A "trailer" keyword alone
// does not: the trailer dictionary, the cross-reference offset and the end
// marker still follow it, in the next chunk.
uint64_t SizePdf(SizingContext& ctx, std::span<const uint8_t> b) {
  constexpr std::string_view kEndOfFile = "%%EOF";
  ChunkReader chunks(ctx, 1 * kGiB, NextStartRule::kAnyFormat);
  chunks.SetStartSector(b);
  while (chunks.Next()) {
    const size_t from = chunks.SearchFrom(kEndOfFile.size());
    const size_t at = FindLastBytes(chunks.Window().subspan(from), kEndOfFile);
    if (at != kNotFound)
      return std::min(chunks.Counted(), chunks.WindowOffset() + from + at + kEndOfFile.size());
  }
  return chunks.Counted();
}

}  // namespace brinvale
