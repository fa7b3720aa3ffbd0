// Flash movies (SWF) and Flash video (FLV).
#include <algorithm>

#include "common/bytes.h"
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

using namespace std::literals;

// "CWS" (zlib-compressed, version 6 to 15) or "FWS" (plain, version below
// 6); the version is byte 3.
int DetectSwf(SizingContext&, std::span<const uint8_t> b) {
  if (b.size() < 8) return kTypeUnknown;
  if (HasAt(b, 0, "CWS") && b[3] >= 6 && b[3] <= 15) return kTypeSwf;
  if (HasAt(b, 0, "FWS") && b[3] < 6) return kTypeSwf;
  return kTypeUnknown;
}

// A plain movie's length stands at 4; a compressed one's is the inflated
// length, so only its first sector is claimed.
uint64_t SizeSwf(SizingContext& ctx, std::span<const uint8_t> b) {
  if (b.size() < 8 || !HasAt(b, 0, "FWS")) return ctx.bytesPerSector;
  return std::min<uint64_t>(LoadLe32(b, 4), 256 * kMiB);
}

// "FLV", version 1, flags at 4, header size 9 (big-endian at 5).
int DetectFlv(SizingContext&, std::span<const uint8_t> b) {
  return b.size() >= 16 && HasAt(b, 0, "FLV") && b[3] == 1 && HasAt(b, 5, "\x00\x00\x00\x09"sv)
             ? kTypeFlv
             : kTypeUnknown;
}

uint64_t SizeFlv(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 6 * kGiB);
}

}  // namespace brinvale
