// MPEG program streams (MPEG-1 system and MPEG-2 PS, VOB).
#include <algorithm>

#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

using namespace std::literals;

namespace {

constexpr auto kPackStart = "\x00\x00\x01\xBA"sv;
constexpr auto kSystemHeader = "\x00\x00\x01\xBB"sv;
constexpr auto kSequenceHeader = "\x00\x00\x01\xB3"sv;
constexpr auto kGroupStart = "\x00\x00\x01\xB8"sv;
constexpr auto kSequenceEnd = "\x00\x00\x01\xB7"sv;
constexpr auto kProgramEnd = "\x00\x00\x01\xB9"sv;

}  // namespace

// A pack header with a system header, or a video sequence header with a
// group of pictures, within the first 32 bytes.
int DetectMpeg(SizingContext&, std::span<const uint8_t> b) {
  if (b.size() < 16) return kTypeUnknown;
  const auto head = b.first(std::min<size_t>(b.size(), 32));
  if (HasAt(b, 0, kPackStart) && FindBytes(head, kSystemHeader) != kNotFound) return kTypeMpeg;
  if (HasAt(b, 0, kSequenceHeader) && FindBytes(head, kGroupStart) != kNotFound) return kTypeMpeg;
  return kTypeUnknown;
}

// An elementary video stream ends with a sequence end code, a program
// stream with a program end code. MPEG streams are full of sectors that
// look like new MPEG starts, so those do not end the file.
uint64_t SizeMpeg(SizingContext& ctx, std::span<const uint8_t> b) {
  const auto footer = HasAt(b, 0, kSequenceHeader) ? kSequenceEnd : kProgramEnd;
  ChunkReader chunks(ctx, 6 * kGiB, NextStartRule::kIgnoreMpeg);
  chunks.SetStartSector(b);
  while (chunks.Next()) {
    const size_t end =
        FindFooter(chunks.Window(), footer, ctx.bytesPerSector, chunks.SearchFrom(footer.size()));
    if (end != kNotFound) return std::min(chunks.Counted(), chunks.WindowOffset() + end);
  }
  return chunks.Counted();
}

}  // namespace brinvale
