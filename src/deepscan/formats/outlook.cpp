// Outlook Express message stores (.dbx) and Outlook data files (.pst).
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

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
