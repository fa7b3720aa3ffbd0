// MPEG audio: MP3 with an ID3v2 tag first, and MP2 frames.
#include <algorithm>

#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

using namespace std::literals;

// "ID3", version (3, 4: not FF), flags (5: low five bits clear), and the
// tag size as four 7-bit bytes (6..9).
int DetectMp3(SizingContext&, std::span<const uint8_t> b) {
  if (b.size() < 10 || !HasAt(b, 0, "ID3") || b[3] == 0xFF || b[4] == 0xFF || (b[5] & 0x1F) != 0)
    return kTypeUnknown;
  for (size_t i = 6; i < 10; ++i)
    if (b[i] >= 0x80) return kTypeUnknown;
  return kTypeMp3;
}

// An ID3v1 tag ("TAG" + 125 bytes) closes the file: the first "TAG" of each
// chunk is remembered, the last chunk's wins.
uint64_t SizeMp3(SizingContext& ctx, std::span<const uint8_t> b) {
  constexpr uint64_t kId3v1Bytes = 128;
  uint64_t tagEnd = UINT64_MAX;
  ChunkReader chunks(ctx, 2 * kGiB, NextStartRule::kAnyFormat);
  chunks.SetStartSector(b);
  while (chunks.Next()) {
    const size_t at = FindBytes(chunks.Window(), "TAG", chunks.SearchFrom(3));
    if (at != kNotFound) tagEnd = chunks.WindowOffset() + at + kId3v1Bytes;
  }
  return std::min(chunks.Counted(), tagEnd);
}

int DetectMp2(SizingContext&, std::span<const uint8_t> b) {
  return HasAt(b, 0, "\xFF\xFD\xE4\x00"sv) ? kTypeMp2 : kTypeUnknown;
}

uint64_t SizeMp2(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 256 * kMiB);
}

}  // namespace brinvale
