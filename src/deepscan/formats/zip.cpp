// ZIP archives and the Office Open XML packages built on them.
#include <algorithm>
#include <cstring>
#include <optional>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walkers.h"

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

// The end of a ZIP archive (and of the Office Open XML and OpenDocument
// packages built on it): the first end-of-central-directory record ("PK"
// 05 06) whose central directory ends right before it (or before its
// ZIP64 record, through the ZIP64 locator "PK" 06 07 just before it), on
// disk 0 with every entry on that disk, plus its comment. Every entry of
// the central directory ("PK" 01 02) must then point at a local header
// ("PK" 03 04) whose data ends before the central directory, and the
// entries must fill the directory.
namespace brinvale {

namespace {

constexpr size_t kEocdBytes = 22, kCentralBytes = 46, kLocalBytes = 30;
constexpr size_t kZip64LocatorBytes = 20;

struct CentralDirectory {
  uint64_t entries = 0;
  uint64_t size = 0;
  uint64_t offset = 0;
  uint64_t end = 0;  // where the directory must end
};

// The directory an end record at `at` describes, when it is consistent.
std::optional<CentralDirectory> DirectoryOf(CarvedBytes& f, uint64_t at) {
  uint8_t e[kEocdBytes];
  if (!f.Read(at, e)) return std::nullopt;
  const std::span<const uint8_t> b(e);
  const uint16_t disk = LoadLe16(b, 4), directoryDisk = LoadLe16(b, 6);
  const uint16_t onDisk = LoadLe16(b, 8), entries = LoadLe16(b, 10);
  const uint32_t size = LoadLe32(b, 12), offset = LoadLe32(b, 16);
  if (disk != 0 || directoryDisk != 0 || onDisk != entries) return std::nullopt;
  CentralDirectory d{entries, size, offset, at};
  if (entries == 0xFFFF || size == 0xFFFFFFFF || offset == 0xFFFFFFFF) {
    // ZIP64: the locator before the end record names the ZIP64 end record,
    // which holds the 64-bit counts (entries at 32, size at 40, offset 48).
    uint64_t record = 0;
    if (at < kZip64LocatorBytes || !f.HasAt(at - kZip64LocatorBytes, "PK\x06\x07"sv) ||
        !f.Le64(at - kZip64LocatorBytes + 8, record) || !f.HasAt(record, "PK\x06\x06"sv) ||
        !f.Le64(record + 32, d.entries) || !f.Le64(record + 40, d.size) ||
        !f.Le64(record + 48, d.offset))
      return std::nullopt;
    d.end = record;
  }
  if (d.offset > d.end || d.end - d.offset != d.size) return std::nullopt;
  return d;
}

// The ZIP64 extra field (id 1) of a central entry: the 64-bit values of
// the fields that hold FFFFFFFF, in order (uncompressed, compressed, local
// header offset).
bool Zip64Values(CarvedBytes& f, uint64_t extra, uint16_t extraLength, uint64_t& uncompressed,
                 uint64_t& compressed, uint64_t& local) {
  for (uint64_t at = extra; at + 4 <= extra + extraLength;) {
    uint16_t id = 0, length = 0;
    if (!f.Le16(at, id) || !f.Le16(at + 2, length)) return false;
    if (id == 1) {
      uint64_t p = at + 4;
      for (uint64_t* v : {&uncompressed, &compressed, &local}) {
        if (*v != 0xFFFFFFFF) continue;
        if (p + 8 > at + 4 + length || !f.Le64(p, *v)) return false;
        p += 8;
      }
      return true;
    }
    at += 4 + uint64_t(length);
  }
  return false;
}

}  // namespace

CarvedVerdict CheckZip(CarvedBytes& f) {
  if (!f.HasAt(0, kLocalHeader)) return DamagedVerdict(CarvedFault::kBadStructure);
  std::optional<CentralDirectory> directory;
  uint64_t eocd = 0;
  bool anyEnd = false;
  if (!f.FindAll(kEndOfDirectory, [&](uint64_t at) {
        anyEnd = true;
        directory = DirectoryOf(f, at);
        eocd = at;
        return !directory.has_value();
      }))
    return DamagedVerdict(CarvedFault::kUnreadable);
  if (!directory)
    return DamagedVerdict(anyEnd ? CarvedFault::kBadStructure : CarvedFault::kRunsOff);
  uint16_t comment = 0;
  if (!f.Le16(eocd + 20, comment) || !f.Holds(eocd, kEocdBytes + uint64_t(comment)))
    return DamagedVerdict(CarvedFault::kRunsOff);
  const CentralDirectory& d = *directory;
  if (d.entries > d.size / kCentralBytes) return DamagedVerdict(CarvedFault::kBadStructure);
  uint64_t at = d.offset;
  for (uint64_t i = 0; i < d.entries; ++i) {
    uint8_t h[kCentralBytes];
    if (!f.Read(at, h)) return DamagedVerdict(CarvedFault::kRunsOff);
    const std::span<const uint8_t> c(h);
    if (!HasAt(c, 0, kCentralHeader)) return DamagedVerdict(CarvedFault::kBadStructure);
    uint64_t compressed = LoadLe32(c, 20), uncompressed = LoadLe32(c, 24);
    const uint16_t nameLength = LoadLe16(c, 28), extraLength = LoadLe16(c, 30);
    const uint16_t commentLength = LoadLe16(c, 32);
    uint64_t local = LoadLe32(c, 42);
    if ((compressed == 0xFFFFFFFF || uncompressed == 0xFFFFFFFF || local == 0xFFFFFFFF) &&
        !Zip64Values(f, at + kCentralBytes + nameLength, extraLength, uncompressed, compressed,
                     local))
      return DamagedVerdict(CarvedFault::kBadStructure);
    uint16_t localName = 0, localExtra = 0;
    if (!f.HasAt(local, kLocalHeader) || !f.Le16(local + 26, localName) ||
        !f.Le16(local + 28, localExtra) || localName != nameLength)
      return DamagedVerdict(CarvedFault::kBadStructure);
    const uint64_t dataEnd = local + kLocalBytes + localName + localExtra + compressed;
    if (dataEnd > d.offset) return DamagedVerdict(CarvedFault::kBadStructure);
    at += kCentralBytes + uint64_t(nameLength) + extraLength + commentLength;
  }
  if (at != d.offset + d.size) return DamagedVerdict(CarvedFault::kBadStructure);
  return CompleteVerdict(eocd + kEocdBytes + comment);
}

}  // namespace brinvale
