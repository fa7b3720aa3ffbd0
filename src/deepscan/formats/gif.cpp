// GIF pictures, closed by an empty block and the trailer (00 3B).
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/footer_sizing.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

using namespace std::literals;

// "GIF" and a version such as "87a" or "89a".
int DetectGif(SizingContext&, std::span<const uint8_t> b) {
  const auto digit = [](uint8_t c) { return c >= '0' && c <= '9'; };
  return b.size() >= 8 && HasAt(b, 0, "GIF") && digit(b[3]) && digit(b[4]) && b[5] >= 'a' &&
                 b[5] <= 'z'
             ? kTypeGif
             : kTypeUnknown;
}

uint64_t SizeGif(SizingContext& ctx, std::span<const uint8_t> b) {
  return SizeToFirstFooter(ctx, b, "\x00\x3B"sv, 128 * kMiB);
}

}  // namespace brinvale

// The block walk of a GIF file: header and logical screen descriptor (with
// its global colour table), then image descriptors (2C, with an optional
// local colour table, the LZW code size and data sub-blocks) and extensions
// (21, a label and sub-blocks), up to the trailer 3B.
namespace brinvale {

namespace {

// Sub-blocks: a length byte, that many bytes, until a length of 0.
bool SkipSubBlocks(CarvedBytes& f, uint64_t& at) {
  while (true) {
    uint8_t size = 0;
    if (!f.Byte(at, size)) return false;
    ++at;
    if (size == 0) return true;
    at += size;
  }
}

uint64_t ColourTableBytes(uint8_t flags) { return flags & 0x80 ? 3ull << ((flags & 7) + 1) : 0; }

}  // namespace

CarvedVerdict CheckGif(CarvedBytes& f) {
  if (!f.HasAt(0, "GIF87a") && !f.HasAt(0, "GIF89a"))
    return DamagedVerdict(CarvedFault::kBadStructure);
  uint8_t screenFlags = 0;
  if (!f.Byte(10, screenFlags)) return DamagedVerdict(CarvedFault::kRunsOff);
  uint64_t at = 13 + ColourTableBytes(screenFlags);
  while (true) {
    uint8_t block = 0;
    if (!f.Byte(at, block)) return DamagedVerdict(CarvedFault::kRunsOff);
    if (block == 0x3B) return CompleteVerdict(at + 1);
    if (block == 0x21) {
      at += 2;  // introducer and label
    } else if (block == 0x2C) {
      uint8_t flags = 0, codeSize = 0;
      if (!f.Byte(at + 9, flags)) return DamagedVerdict(CarvedFault::kRunsOff);
      at += 10 + ColourTableBytes(flags);
      if (!f.Byte(at, codeSize)) return DamagedVerdict(CarvedFault::kRunsOff);
      if (codeSize < 1 || codeSize > 11) return DamagedVerdict(CarvedFault::kBadStructure);
      ++at;
    } else {
      return DamagedVerdict(CarvedFault::kBadStructure);
    }
    if (!SkipSubBlocks(f, at)) return DamagedVerdict(CarvedFault::kRunsOff);
  }
}

}  // namespace brinvale
