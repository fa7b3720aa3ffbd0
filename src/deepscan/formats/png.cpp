// PNG pictures, closed by the IEND chunk and its CRC.
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/footer_sizing.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

using namespace std::literals;

int DetectPng(SizingContext&, std::span<const uint8_t> b) {
  return HasAt(b, 0, "\x89PNG\r\n\x1A\n"sv) ? kTypePng : kTypeUnknown;
}

uint64_t SizePng(SizingContext& ctx, std::span<const uint8_t> b) {
  return SizeToFirstFooter(ctx, b, "IEND\xAE\x42\x60\x82"sv, 128 * kMiB);
}

}  // namespace brinvale

// The chunk walk of a PNG file: the signature, then chunks (32-bit BE data
// length, four-letter type, data, CRC-32 of type and data), IHDR first, up
// to IEND and its CRC.
namespace brinvale {

CarvedVerdict CheckPng(CarvedBytes& f) {
  if (!f.HasAt(0, "\x89PNG\r\n\x1A\n"sv)) return DamagedVerdict(CarvedFault::kBadStructure);
  uint64_t at = 8;
  for (bool first = true;; first = false) {
    uint32_t length = 0;
    uint8_t type[4];
    if (!f.Be32(at, length) || !f.Read(at + 4, type)) return DamagedVerdict(CarvedFault::kRunsOff);
    if (length > 0x7FFFFFFF) return DamagedVerdict(CarvedFault::kBadStructure);
    for (uint8_t c : type)
      if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
        return DamagedVerdict(CarvedFault::kBadStructure);
    const std::string_view name(reinterpret_cast<const char*>(type), 4);
    if (first != (name == "IHDR")) return DamagedVerdict(CarvedFault::kBadStructure);
    const uint64_t end = at + 12 + length;
    if (!f.Holds(at, 12 + uint64_t(length))) return DamagedVerdict(CarvedFault::kRunsOff);
    uint32_t crc = 0, stored = 0;
    if (!f.Crc32(at + 4, 4 + uint64_t(length), crc) || !f.Be32(at + 8 + length, stored))
      return DamagedVerdict(CarvedFault::kRunsOff);
    if (crc != stored) return DamagedVerdict(CarvedFault::kChecksum);
    if (name == "IEND") return CompleteVerdict(end);
    at = end;
  }
}

}  // namespace brinvale
