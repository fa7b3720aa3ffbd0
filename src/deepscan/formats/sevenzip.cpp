// 7z archives.
#include <algorithm>

#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

using namespace std::literals;

int Detect7z(SizingContext&, std::span<const uint8_t> b) {
  return HasAt(b, 0, "7z\xBC\xAF\x27"sv) ? kType7z : kTypeUnknown;
}

// An LZMA-compressed header's folder record (one coder, LZMA method id
// 03 01 01, 5 property bytes starting 5D) sits near the archive's end: the
// file ends 27 bytes after the last one in a chunk.
uint64_t Size7z(SizingContext& ctx, std::span<const uint8_t> b) {
  constexpr auto kHeaderFolder = "\x00\x07\x0B\x01\x00\x01\x23\x03\x01\x01\x05\x5D"sv;
  constexpr uint64_t kToEnd = 27;
  ChunkReader chunks(ctx, 4 * kGiB, NextStartRule::kAnyFormat);
  chunks.SetStartSector(b);
  while (chunks.Next()) {
    const size_t from = chunks.SearchFrom(kHeaderFolder.size());
    const size_t at = FindLastBytes(chunks.Window().subspan(from), kHeaderFolder);
    if (at != kNotFound)
      return std::min(chunks.Counted(), chunks.WindowOffset() + from + at + kToEnd);
  }
  return chunks.Counted();
}

}  // namespace brinvale
