// ZIP archives and the Office Open XML packages built on them.
#include <algorithm>
#include <cstring>

#include "common/error_codes.h"
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

using namespace std::literals;

namespace {

constexpr auto kLocalHeader = "PK\x03\x04"sv;     // name at + 30
constexpr auto kCentralHeader = "PK\x01\x02"sv;   // name at + 46
constexpr auto kEndOfDirectory = "PK\x05\x06"sv;  // 22 bytes without comment
constexpr size_t kLocalNameAt = 30, kCentralNameAt = 46, kCentralMin = 48;
constexpr uint64_t kEndOfDirectoryBytes = 22;
constexpr uint32_t kSectorsPerPass = 4, kPasses = 5;
constexpr size_t kCarry = 4;  // a signature split between passes

bool StartsWithNoCase(std::span<const uint8_t> b, size_t at, std::string_view prefix) {
  if (at > b.size() || b.size() - at < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if ((b[at + i] | 0x20) != prefix[i]) return false;
  return true;
}

// Word, Excel and PowerPoint packages keep their parts under "word/",
// "xl/" and "ppt/".
int KindOfName(std::span<const uint8_t> b, size_t nameAt) {
  const size_t left = nameAt <= b.size() ? b.size() - nameAt : 0;
  if (left >= 5 && StartsWithNoCase(b, nameAt, "word")) return kTypeWordPackage;
  if (left >= 4 && StartsWithNoCase(b, nameAt, "ppt")) return kTypePowerPointPackage;
  if (left >= 3 && StartsWithNoCase(b, nameAt, "xl")) return kTypeExcelPackage;
  return kTypeUnknown;
}

// Looks at the member names in the first 20 sectors from the current one.
int ClassifyPackage(SizingContext& ctx) {
  const uint32_t bps = ctx.bytesPerSector;
  if (bps == 0 || bps > SizingContext::kMaxBytesPerSector) return kTypeUnknown;
  std::span<uint8_t> buffer = ctx.Scratch().first(kCarry + kSectorsPerPass * bps);
  std::fill_n(buffer.begin(), kCarry, uint8_t(0));
  for (uint32_t pass = 0; pass < kPasses; ++pass) {
    if (ctx.Read(ctx.currentSector + pass * kSectorsPerPass, kSectorsPerPass,
                 buffer.subspan(kCarry)) != kOk)
      return kTypeUnknown;
    const size_t end = std::min(FindBytes(buffer, kEndOfDirectory), buffer.size());
    const auto before = std::span<const uint8_t>(buffer).first(end);
    for (size_t at = FindBytes(before, kLocalHeader); at != kNotFound;
         at = FindBytes(before, kLocalHeader, at + 1)) {
      if (int kind = KindOfName(buffer, at + kLocalNameAt); kind != kTypeUnknown) return kind;
    }
    for (size_t at = FindBytes(buffer, kCentralHeader); at != kNotFound;
         at = FindBytes(buffer, kCentralHeader, at + 1)) {
      if (buffer.size() - at < kCentralMin) break;
      if (int kind = KindOfName(buffer, at + kCentralNameAt); kind != kTypeUnknown) return kind;
    }
    std::memmove(buffer.data(), buffer.data() + buffer.size() - kCarry, kCarry);
  }
  return kTypeUnknown;
}

// The last end-of-central-directory record in a chunk ends the archive
// (archive comments are not counted).
uint64_t SizeZipLike(SizingContext& ctx, std::span<const uint8_t> b, uint64_t capBytes) {
  ChunkReader chunks(ctx, capBytes, NextStartRule::kAnyFormat);
  chunks.SetStartSector(b);
  while (chunks.Next()) {
    const size_t from = chunks.SearchFrom(kEndOfDirectory.size());
    const size_t at = FindLastBytes(chunks.Window().subspan(from), kEndOfDirectory);
    if (at != kNotFound)
      return std::min(chunks.Counted(), chunks.WindowOffset() + from + at + kEndOfDirectoryBytes);
  }
  return chunks.Counted();
}

}  // namespace

// A local file header first, or the "[Content_Types].xml" part name where
// the first local header keeps it; then the member names decide.
int DetectOfficePackage(SizingContext& ctx, std::span<const uint8_t> b) {
  if (b.size() < 31) return kTypeUnknown;
  if (!HasAt(b, 0, kLocalHeader) && !HasAt(b, 31, "[Content_Types].xml")) return kTypeUnknown;
  return ClassifyPackage(ctx);
}

uint64_t SizeOfficePackage(SizingContext& ctx, std::span<const uint8_t> b) {
  return SizeZipLike(ctx, b, 128 * kMiB - 1);
}

int DetectZip(SizingContext&, std::span<const uint8_t> b) {
  return b.size() >= 48 && HasAt(b, 0, kLocalHeader) ? kTypeZip : kTypeUnknown;
}

uint64_t SizeZip(SizingContext& ctx, std::span<const uint8_t> b) {
  return SizeZipLike(ctx, b, 4 * kGiB);
}

}  // namespace brinvale
