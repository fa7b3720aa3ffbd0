// TrueType fonts: an offset table and a directory of tables.
#include <algorithm>
#include <string_view>

#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/directory_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walkers.h"

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

namespace brinvale {

namespace {

// head: checksum adjustment at 8, magic 5F 0F 3C F5 at 12; 54 bytes.
constexpr uint64_t kHeadBytes = 54, kAdjustmentAt = 8, kHeadMagicAt = 12;
constexpr uint32_t kHeadMagic = 0x5F0F3CF5, kFontSum = 0xB1B0AFBA;
// A collection: "ttcf", version (1.0 or 2.0) at 4, font count at 8, the
// fonts' offset tables' offsets from 12; version 2.0 adds the DSIG tag,
// length and offset after them.
constexpr uint32_t kMaxFonts = 4096;

bool IsFontVersion(uint32_t v) {
  return v == 0x00010000 || v == 0x4F54544F /* OTTO */ || v == 0x74727565 /* true */ ||
         v == 0x74797031 /* typ1 */;
}

struct FontWalk {
  CarvedFault fault = CarvedFault::kNone;
  uint64_t end = 0;         // the furthest end of any table
  uint64_t adjustment = 0;  // the offset of head's checksum adjustment (0: none)
};

// One font's offset table at `at`: every table inside the extent.
FontWalk WalkFont(CarvedBytes& f, uint64_t at) {
  FontWalk walk;
  uint32_t version = 0;
  uint16_t count = 0;
  if (!f.Be32(at, version) || !f.Be16(at + kCountAt, count)) return {CarvedFault::kRunsOff};
  if (!IsFontVersion(version) || count == 0) return {CarvedFault::kBadStructure};
  walk.end = at + kRecordsAt + uint64_t(kRecordBytes) * count;
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t record = at + kRecordsAt + uint64_t(kRecordBytes) * i;
    uint8_t tag[4];
    uint32_t offset = 0, length = 0;
    if (!f.Read(record, tag) || !f.Be32(record + kOffsetInRecord, offset) ||
        !f.Be32(record + kLengthInRecord, length))
      return {CarvedFault::kRunsOff};
    if (!f.Holds(offset, length)) return {CarvedFault::kRunsOff};
    walk.end = std::max(walk.end, uint64_t(offset) + length);
    if (std::string_view(reinterpret_cast<const char*>(tag), 4) == "head") {
      uint32_t magic = 0;
      if (length < kHeadBytes || !f.Be32(offset + kHeadMagicAt, magic) || magic != kHeadMagic)
        return {CarvedFault::kBadStructure};
      walk.adjustment = offset + kAdjustmentAt;
    }
  }
  return walk;
}

// The sum of the file's big-endian 32-bit words in [0, length), a last
// partial word padded with zeros, the word at `skip` left out.
bool WordSum(CarvedBytes& f, uint64_t length, uint64_t skip, uint32_t& sum) {
  sum = 0;
  for (uint64_t at = 0; at < length;) {
    const auto view = f.View(at, size_t(std::min<uint64_t>(length - at, SIZE_MAX)));
    if (view.empty()) return false;
    size_t i = 0;
    if (at % 4 == 0) {
      for (; i + 4 <= view.size(); i += 4)
        if (at + i != skip) sum += LoadBe32(view, i);
    }
    if (i < view.size()) {
      // A word across two windows, or the last partial word.
      uint8_t word[4] = {};
      const uint64_t wordAt = (at + i) / 4 * 4;
      const uint64_t have = std::min<uint64_t>(4, length - wordAt);
      if (!f.Read(wordAt, std::span(word, size_t(have)))) return false;
      if (wordAt != skip) sum += LoadBe32(word, 0);
      at = wordAt + 4;
      continue;
    }
    at += view.size();
  }
  return true;
}

}  // namespace

// TrueType and OpenType fonts, and collections of them: every table of
// every font inside the extent; a single font's head table checksum
// adjustment (0xB1B0AFBA less the sum of the whole file's words, with the
// adjustment as 0) checked. The file ends at the furthest table's end
// padded to 4 (or at the extent's end, when that comes inside the padding).
CarvedVerdict CheckTrueType(CarvedBytes& f) {
  uint32_t tag = 0;
  if (!f.Be32(0, tag)) return DamagedVerdict(CarvedFault::kRunsOff);
  uint64_t end = 0, adjustment = 0;
  if (tag == 0x74746366 /* ttcf */) {
    uint32_t version = 0, fonts = 0;
    if (!f.Be32(4, version) || !f.Be32(8, fonts)) return DamagedVerdict(CarvedFault::kRunsOff);
    if ((version != 0x00010000 && version != 0x00020000) || fonts == 0 || fonts > kMaxFonts)
      return DamagedVerdict(CarvedFault::kBadStructure);
    end = 12 + uint64_t(4) * fonts;
    for (uint32_t i = 0; i < fonts; ++i) {
      uint32_t offset = 0;
      if (!f.Be32(12 + uint64_t(4) * i, offset)) return DamagedVerdict(CarvedFault::kRunsOff);
      const FontWalk font = WalkFont(f, offset);
      if (font.fault != CarvedFault::kNone) return DamagedVerdict(font.fault);
      end = std::max(end, font.end);
    }
    uint32_t dsig = 0, length = 0, offset = 0;
    const uint64_t after = 12 + uint64_t(4) * fonts;
    if (version == 0x00020000 && f.Be32(after, dsig) && dsig == 0x44534947 /* DSIG */) {
      if (!f.Be32(after + 4, length) || !f.Be32(after + 8, offset) || !f.Holds(offset, length))
        return DamagedVerdict(CarvedFault::kRunsOff);
      end = std::max(end, uint64_t(offset) + length);
    }
  } else {
    const FontWalk font = WalkFont(f, 0);
    if (font.fault != CarvedFault::kNone) return DamagedVerdict(font.fault);
    end = font.end;
    adjustment = font.adjustment;
  }
  end = std::min((end + 3) / 4 * 4, f.Extent());
  if (adjustment != 0) {
    uint32_t sum = 0, stored = 0;
    if (!WordSum(f, end, adjustment, sum) || !f.Be32(adjustment, stored))
      return DamagedVerdict(CarvedFault::kRunsOff);
    if (uint32_t(kFontSum - sum) != stored) return DamagedVerdict(CarvedFault::kChecksum);
  }
  return CompleteVerdict(end);
}

}  // namespace brinvale
