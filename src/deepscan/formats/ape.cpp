// Monkey's Audio (.ape), closed by an APEv2 tag.
#include <algorithm>

#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walk_fields.h"
#include "deepscan/formats/walkers.h"

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

// The length of a Monkey's Audio file of version 3.98 or later: its
// descriptor states the bytes of the descriptor, the header, the seek
// table, the stored WAV header, the frame data (64-bit) and the WAV tail.
// An APEv2 tag with its header and an ID3v1 tag may follow. Older files
// state no length of their frame data: unchecked.
namespace brinvale {

CarvedVerdict CheckApe(CarvedBytes& f) {
  uint16_t version = 0;
  if (!f.HasAt(0, "MAC ") || !f.Le16(4, version)) return DamagedVerdict(CarvedFault::kBadStructure);
  if (version < 3980) return {};
  uint32_t field[7];
  for (int i = 0; i < 7; ++i)
    if (!f.Le32(8 + 4 * uint64_t(i), field[i])) return DamagedVerdict(CarvedFault::kRunsOff);
  const uint32_t descriptor = field[0], header = field[1];
  if (descriptor < 52 || header < 24) return DamagedVerdict(CarvedFault::kBadStructure);
  uint64_t at = uint64_t(descriptor) + header + field[2] + field[3] +
                (uint64_t(field[5]) << 32 | field[4]) + field[6];
  if (!f.Holds(0, at)) return DamagedVerdict(CarvedFault::kRunsOff);
  if (auto fault = SkipTrailingAudioTags(f, at)) return *fault;
  if (f.ReadFailed()) return DamagedVerdict(CarvedFault::kUnreadable);
  return CompleteVerdict(at);
}

}  // namespace brinvale
