// Advanced Systems Format (.wmv, .asf, .wma).
#include <algorithm>

#include "common/bytes.h"
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

using namespace std::literals;

namespace {

// GUIDs as stored: first three fields little-endian.
constexpr auto kHeaderObject = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"sv;
constexpr auto kFileProperties =
    "\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65"sv;
// File properties object: GUID 0, object size 16, file id 24, file size
// 40, ..., flags 88 (bit 0: broadcast, the file size is not valid).
constexpr size_t kFileSizeAt = 40, kFlagsAt = 88, kObjectMin = 92;
constexpr size_t kFirstChildAt = 30;  // after the header object's own fields

}  // namespace

int DetectAsf(SizingContext&, std::span<const uint8_t> b) {
  return b.size() >= 24 && HasAt(b, 0, kHeaderObject) ? kTypeAsf : kTypeUnknown;
}

uint64_t SizeAsf(SizingContext& ctx, std::span<const uint8_t> b) {
  const size_t at = FindBytes(b, kFileProperties, kFirstChildAt);
  if (at == kNotFound || b.size() - at < kObjectMin || (LoadLe32(b, at + kFlagsAt) & 1) != 0)
    return ctx.bytesPerSector;
  return std::min(LoadLe64(b, at + kFileSizeAt), 256 * kMiB);
}

}  // namespace brinvale
