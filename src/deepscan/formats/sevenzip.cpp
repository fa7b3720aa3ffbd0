// 7z archives.
#include <algorithm>

#include "common/bytes.h"
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walkers.h"

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

// A 7z archive states its length in its 32-byte start header: signature
// (6), version (2), the CRC-32 of the next 20 bytes, the next header's
// offset (64-bit, from the end of the start header), its size (64-bit) and
// its CRC-32. The archive ends with the next header, which begins with a
// header (01) or an encoded header (17) property id.
namespace brinvale {

CarvedVerdict Check7z(CarvedBytes& f) {
  uint8_t start[32];
  if (!f.HasAt(0, "7z\xBC\xAF\x27\x1C"sv)) return DamagedVerdict(CarvedFault::kBadStructure);
  if (!f.Read(0, start)) return DamagedVerdict(CarvedFault::kRunsOff);
  const std::span<const uint8_t> s(start);
  if (start[6] != 0) return DamagedVerdict(CarvedFault::kBadStructure);
  if (Crc32Continue(0, s.subspan(12, 20)) != LoadLe32(s, 8))
    return DamagedVerdict(CarvedFault::kChecksum);
  const uint64_t offset = LoadLe64(s, 12), size = LoadLe64(s, 20);
  if (size == 0)
    return offset == 0 ? CompleteVerdict(32) : DamagedVerdict(CarvedFault::kBadStructure);
  if (offset > f.Extent() || !f.Holds(32 + offset, size))
    return DamagedVerdict(CarvedFault::kRunsOff);
  uint32_t crc = 0;
  uint8_t id = 0;
  if (!f.Crc32(32 + offset, size, crc) || !f.Byte(32 + offset, id))
    return DamagedVerdict(CarvedFault::kRunsOff);
  if (crc != LoadLe32(s, 28)) return DamagedVerdict(CarvedFault::kChecksum);
  if (id != 0x01 && id != 0x17) return DamagedVerdict(CarvedFault::kBadStructure);
  return CompleteVerdict(32 + offset + size);
}

}  // namespace brinvale
