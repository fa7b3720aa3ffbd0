// RAR archives (version 1.5 to 4 format).
#include <algorithm>

#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walkers.h"

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

// The block walk of a RAR archive (1.5 to 4): after the 7-byte marker,
// blocks of a 7-byte head (CRC, type, flags, head size) whose CRC is the
// low half of the CRC-32 of the head from its type byte on. A head with
// flag 8000, and every file head (74), is followed by data whose size is
// the 32-bit value after the head's first 7 bytes (with the high half
// after the file head's fixed part when flag 0100 is set). The archive
// ends with the end-of-archive block (7B).
namespace brinvale {

CarvedVerdict CheckRar(CarvedBytes& f) {
  if (!f.HasAt(0, "Rar!\x1A\x07\x00"sv)) return DamagedVerdict(CarvedFault::kBadStructure);
  uint64_t at = 7;
  for (bool first = true;; first = false) {
    uint16_t crc = 0, flags = 0, size = 0;
    uint8_t type = 0;
    if (!f.Le16(at, crc) || !f.Byte(at + 2, type) || !f.Le16(at + 3, flags) ||
        !f.Le16(at + 5, size))
      return DamagedVerdict(CarvedFault::kRunsOff);
    if (size < 7 || type < 0x72 || type > 0x7B || (first && type != 0x73))
      return DamagedVerdict(CarvedFault::kBadStructure);
    if (!f.Holds(at, size)) return DamagedVerdict(CarvedFault::kRunsOff);
    uint32_t headCrc = 0;
    if (!f.Crc32(at + 2, size - 2u, headCrc)) return DamagedVerdict(CarvedFault::kRunsOff);
    if (uint16_t(headCrc) != crc) return DamagedVerdict(CarvedFault::kChecksum);
    uint64_t data = 0;
    if ((flags & 0x8000) || type == 0x74) {
      uint32_t low = 0;
      if (size < 11 || !f.Le32(at + 7, low)) return DamagedVerdict(CarvedFault::kBadStructure);
      data = low;
      if (type == 0x74 && (flags & 0x0100)) {
        uint32_t high = 0;
        if (size < 36 || !f.Le32(at + 32, high)) return DamagedVerdict(CarvedFault::kBadStructure);
        data |= uint64_t(high) << 32;
      }
    }
    if (!f.Holds(at + size, data)) return DamagedVerdict(CarvedFault::kRunsOff);
    at += size + data;
    if (type == 0x7B) return CompleteVerdict(at);
  }
}

}  // namespace brinvale
