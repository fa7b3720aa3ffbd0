// TrueType fonts: an offset table and a directory of tables.
#include <algorithm>

#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/directory_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

using namespace std::literals;

namespace {

// Offset table (big-endian): version 1.0 at 0, table count at 4, search
// range 6, entry selector 8, range shift 10; 16-byte table records from 12:
// tag, checksum, offset at 8, length at 12.
constexpr size_t kCountAt = 4, kRecordsAt = 12, kRecordBytes = 16;
constexpr size_t kOffsetInRecord = 8, kLengthInRecord = 12;
constexpr auto kVersion1 = "\x00\x01\x00\x00"sv;

}  // namespace

// The first table after the directory (at 16n + 12) is one that starts with
// version 1.0 too ("head", "hhea" or "maxp").
int DetectTrueType(SizingContext&, std::span<const uint8_t> b) {
  if (b.size() < 16 || !HasAt(b, 0, kVersion1)) return kTypeUnknown;
  const uint32_t count = LoadBe16(b, kCountAt);
  if (count == 0 || LoadBe16(b, 6) == 0 || LoadBe16(b, 8) == 0 || LoadBe16(b, 10) == 0)
    return kTypeUnknown;
  if (b.size() < uint64_t(kRecordBytes) * count + 16) return kTypeUnknown;
  return HasAt(b, kRecordsAt + kRecordBytes * count, kVersion1) ? kTypeTrueType : kTypeUnknown;
}

// The furthest end of any table.
uint64_t SizeTrueType(SizingContext& ctx, std::span<const uint8_t> b) {
  if (b.size() < kRecordsAt) return ctx.bytesPerSector;
  const uint32_t count = LoadBe16(b, kCountAt);
  const auto bytes = DirectoryBytes(ctx, b, kRecordsAt + uint64_t(kRecordBytes) * count);
  if (bytes.empty()) return ctx.bytesPerSector;
  uint64_t end = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t record = kRecordsAt + kRecordBytes * i;
    end = std::max(end, uint64_t(LoadBe32(bytes, record + kOffsetInRecord)) +
                            LoadBe32(bytes, record + kLengthInRecord));
  }
  return end;
}

}  // namespace brinvale
