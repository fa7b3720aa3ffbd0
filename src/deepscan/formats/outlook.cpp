// Outlook Express message stores (.dbx) and Outlook data files (.pst).
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

using namespace std::literals;

int DetectDbx(SizingContext&, std::span<const uint8_t> b) {
  return b.size() >= 16 && HasAt(b, 0, "\xCF\xAD\x12\xFE"sv) ? kTypeDbx : kTypeUnknown;
}

uint64_t SizeDbx(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 2 * kGiB);
}

// "!BDN", CRC, and the client magic "SM" at 8.
int DetectPst(SizingContext&, std::span<const uint8_t> b) {
  return b.size() >= 16 && HasAt(b, 0, "!BDN") && HasAt(b, 8, "SM") ? kTypePst : kTypeUnknown;
}

uint64_t SizePst(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 2 * kGiB);
}

}  // namespace brinvale

namespace brinvale {

namespace {

// The header's format version at 10: 14 or 15 for the ANSI format, whose
// root holds the file's size (4 bytes) at 0xA8; 23 and above for the
// Unicode format, whose root holds it (8 bytes) at 0xB8.
constexpr uint64_t kAnsiSizeAt = 0xA8, kUnicodeSizeAt = 0xB8, kHeaderBytes = 512;

}  // namespace

// The file is the size its header's root states.
CarvedVerdict CheckPst(CarvedBytes& f) {
  uint16_t version = 0;
  if (!f.HasAt(0, "!BDN"sv) || !f.HasAt(8, "SM"sv)) return DamagedVerdict(CarvedFault::kBadStructure);
  if (!f.Le16(10, version)) return DamagedVerdict(CarvedFault::kRunsOff);
  uint64_t size = 0;
  if (version == 14 || version == 15) {
    uint32_t ansi = 0;
    if (!f.Le32(kAnsiSizeAt, ansi)) return DamagedVerdict(CarvedFault::kRunsOff);
    size = ansi;
  } else if (version >= 23 && version <= 37) {
    if (!f.Le64(kUnicodeSizeAt, size)) return DamagedVerdict(CarvedFault::kRunsOff);
  } else {
    return DamagedVerdict(CarvedFault::kBadStructure);
  }
  if (size < kHeaderBytes) return DamagedVerdict(CarvedFault::kBadStructure);
  if (!f.Holds(0, size)) return DamagedVerdict(CarvedFault::kRunsOff);
  return CompleteVerdict(size);
}

}  // namespace brinvale
