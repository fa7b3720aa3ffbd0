// Compound documents (Word, Excel and PowerPoint 97-2003, and other
// compound files such as Flash sources).
//
// Header fields used: sector shift at 0x1E, FAT sector count at 0x2C,
// first directory sector at 0x30, mini-FAT sector count at 0x40, first
// DIFAT sector at 0x44, DIFAT sector count at 0x48, the first 109 FAT
// sector numbers at 0x4C. Compound sector n lies at byte (n + 1) x sector
// size from the file's start (the header fills sector -1).
#include <algorithm>
#include <array>
#include <optional>
#include <vector>

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

constexpr auto kSignature = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv;
constexpr size_t kSectorShiftAt = 0x1E, kFatCountAt = 0x2C, kDirectoryAt = 0x30,
                 kMiniFatCountAt = 0x40, kFirstDifatAt = 0x44, kDifatCountAt = 0x48,
                 kHeaderFatAt = 0x4C;
constexpr uint32_t kHeaderFatEntries = 109;
constexpr uint32_t kFreeSector = 0xFFFFFFFF;
constexpr uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr uint64_t kSizeCap = 128 * kMiB - 1;

// Directory entries: 128 bytes, UTF-16 name at 0, class id at 0x50.
constexpr size_t kDirEntryBytes = 128, kClassIdAt = 0x50, kNameChars = 32;

constexpr auto kWordClass = "\x06\x09\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46"sv;
constexpr auto kExcelClass = "\x20\x08\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46"sv;
constexpr auto kExcel5Class = "\x10\x08\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46"sv;
constexpr auto kPowerPointClass =
    "\x10\x8D\x81\x64\x9B\x4F\xCF\x11\x86\xEA\x00\xAA\x00\xB9\x29\xE8"sv;

struct StreamKind {
  std::string_view name;
  int typeCode;
};
constexpr StreamKind kStreamKinds[] = {
    {"WordDocument", kTypeWord},
    {"Workbook", kTypeExcel},
    {"PowerPoint Document", kTypePowerPoint},
};

// 512-byte sectors (shift 9) or 4,096-byte ones (shift 12).
uint32_t CompoundSectorBytes(std::span<const uint8_t> header) {
  return header.size() > kSectorShiftAt + 1 && LoadLe16(header, kSectorShiftAt) == 12 ? 4096 : 512;
}

// Reads compound sector `n` of the file starting at `fileSector`.
int ReadCompoundSector(SizingContext& ctx, uint64_t fileSector, uint32_t sectorBytes, uint64_t n,
                       std::span<const uint8_t>& view) {
  const uint64_t offset = fileSector * ctx.bytesPerSector + (n + 1) * sectorBytes;
  return ctx.ReadBytes(offset, sectorBytes, view);
}

// The UTF-16 name of a directory entry equals `name`, ignoring ASCII case.
bool NameIs(std::span<const uint8_t> entry, std::string_view name) {
  if (name.size() >= kNameChars) return false;
  for (size_t i = 0; i <= name.size(); ++i) {
    const uint16_t c = LoadLe16(entry, 2 * i);
    const char want = i < name.size() ? name[i] : '\0';
    const auto lower = [](uint16_t x) { return x >= 'A' && x <= 'Z' ? uint16_t(x + 32) : x; };
    if (lower(c) != lower(uint16_t(uint8_t(want)))) return false;
  }
  return true;
}

// The FAT sector holding the last FAT entries, or nothing when the header's
// counts are out of range or the DIFAT chain cannot be followed.
std::optional<uint32_t> LastFatSector(SizingContext& ctx, std::span<const uint8_t> h,
                                      uint32_t shift) {
  const uint32_t sectorBytes = 1u << shift;
  const uint32_t m = (0xFFFFFFFAu >> (shift - 2)) + 1;
  const uint32_t fatCount = LoadLe32(h, kFatCountAt);
  const uint32_t difatCount = LoadLe32(h, kDifatCountAt);
  const uint32_t perDifat = sectorBytes / 4 - 1;  // the last entry links on
  if (fatCount == 0 || fatCount > m || LoadLe32(h, kMiniFatCountAt) > m ||
      difatCount > m / perDifat + 1)
    return std::nullopt;
  if (difatCount == 0) {
    if (fatCount > kHeaderFatEntries) return std::nullopt;
    return LoadLe32(h, kHeaderFatAt + 4 * (fatCount - 1));
  }
  if (fatCount < kHeaderFatEntries) return std::nullopt;
  uint32_t difat = LoadLe32(h, kFirstDifatAt);
  std::span<const uint8_t> sector;
  for (uint32_t i = 0;; ++i) {
    if (difat >= kMaxRegularSector) return std::nullopt;
    if (ReadCompoundSector(ctx, ctx.startSector, sectorBytes, difat, sector) != kOk)
      return std::nullopt;
    if (i + 1 == difatCount) break;
    difat = LoadLe32(sector, sectorBytes - 4);
  }
  uint32_t k = (fatCount - kHeaderFatEntries) % perDifat;
  if (k == 0) k = perDifat;
  return LoadLe32(sector, 4 * (k - 1));
}

// The file's length from its FAT: every FAT entry up to the last used one
// of the last FAT sector is a sector of the file, and the header one more.
std::optional<uint64_t> SizeFromFat(SizingContext& ctx, std::span<const uint8_t> h) {
  if (h.size() < 512 || ctx.bytesPerSector == 0) return std::nullopt;
  const uint32_t shift = LoadLe16(h, kSectorShiftAt);
  if (shift != 9 && shift != 12) return std::nullopt;
  const std::optional<uint32_t> lastFat = LastFatSector(ctx, h, shift);
  if (!lastFat || *lastFat >= kMaxRegularSector) return std::nullopt;
  const uint32_t sectorBytes = 1u << shift;
  std::span<const uint8_t> fat;
  if (ReadCompoundSector(ctx, ctx.startSector, sectorBytes, *lastFat, fat) != kOk)
    return std::nullopt;
  const uint32_t perFat = sectorBytes / 4;
  uint32_t freeAtEnd = 0;
  while (freeAtEnd < perFat && LoadLe32(fat, 4 * (perFat - 1 - freeAtEnd)) == kFreeSector)
    ++freeAtEnd;
  const uint64_t sectors = uint64_t(perFat) * LoadLe32(h, kFatCountAt) + 1 - freeAtEnd;
  return std::min(sectors * sectorBytes, kSizeCap);
}

}  // namespace

int ClassifyCompoundDocument(SizingContext& ctx, std::span<const uint8_t> h) {
  const uint32_t sectorBytes = CompoundSectorBytes(h);
  std::span<const uint8_t> sector;
  if (ReadCompoundSector(ctx, ctx.currentSector, sectorBytes, 0, sector) != kOk)
    return kTypeCompound;
  // The first stream sector often starts the main stream: a Word file
  // information block (A5EC) or an Excel BOF record (0809, length 16,
  // BIFF8 0600).
  if (LoadLe16(sector, 0) == 0xA5EC) return kTypeWord;
  if (LoadLe16(sector, 0) == 0x0809 && LoadLe16(sector, 2) == 0x0010 &&
      LoadLe16(sector, 4) == 0x0600)
    return kTypeExcel;
  if (h.size() < kDirectoryAt + 4) return kTypeCompound;
  const uint32_t directory = LoadLe32(h, kDirectoryAt);
  if (ReadCompoundSector(ctx, ctx.currentSector, sectorBytes, directory, sector) != kOk)
    return kTypeCompound;
  if (HasAt(sector, kClassIdAt, kWordClass)) return kTypeWord;
  if (HasAt(sector, kClassIdAt, kExcelClass) || HasAt(sector, kClassIdAt, kExcel5Class))
    return kTypeExcel;
  if (HasAt(sector, kClassIdAt, kPowerPointClass)) return kTypePowerPoint;
  for (size_t at = 0; at + kDirEntryBytes <= sector.size(); at += kDirEntryBytes) {
    for (const StreamKind& kind : kStreamKinds)
      if (NameIs(sector.subspan(at, kDirEntryBytes), kind.name)) return kind.typeCode;
  }
  return kTypeCompound;
}

// Flash sources are compound files of their own kind: Word, Excel and
// PowerPoint files are left to the compound-document rows, which name and
// size them exactly.
int DetectFla(SizingContext& ctx, std::span<const uint8_t> b) {
  if (b.size() < 16 || !HasAt(b, 0, "\xD0\xCF\x11\xE0"sv)) return kTypeUnknown;
  if (!HasAt(b, 0, kSignature)) return kTypeFla;
  const int kind = ClassifyCompoundDocument(ctx, b);
  return kind == kTypeCompound ? kTypeFla : kTypeUnknown;
}

uint64_t SizeFla(SizingContext& ctx, std::span<const uint8_t> b) {
  if (std::optional<uint64_t> size = SizeFromFat(ctx, b)) return *size;
  return SizeUntilNextStart(ctx, 256 * kMiB);
}

int DetectCompoundDocument(SizingContext& ctx, std::span<const uint8_t> b) {
  if (!HasAt(b, 0, kSignature)) return kTypeUnknown;
  return ClassifyCompoundDocument(ctx, b);
}

// From the FAT when the header allows; otherwise until the next start, or
// to the end of a chunk that holds a Word property-set stream and the
// "Microsoft Office Word" document-type text of Chinese Word.
uint64_t SizeCompoundDocument(SizingContext& ctx, std::span<const uint8_t> b) {
  if (std::optional<uint64_t> size = SizeFromFat(ctx, b)) return *size;
  constexpr auto kPropertySet = "\x01\x00\xFE\xFF\x03\x0A"sv;
  constexpr auto kDocType = "Microsoft Office Word \xCE\xC4\xB5\xB5"sv;
  ChunkReader chunks(ctx, kSizeCap, NextStartRule::kAnyFormat);
  const uint32_t bps = ctx.bytesPerSector;
  while (chunks.Next()) {
    const auto part = chunks.FilePart();
    const size_t docType = FindBytes(part, kDocType);
    if (docType == kNotFound || FindBytes(part, kPropertySet) == kNotFound) continue;
    const uint64_t end = chunks.FileOffset() + docType + kDocType.size();
    return std::min(chunks.Counted(), (end + bps - 1) / bps * bps);
  }
  return chunks.Counted();
}

}  // namespace brinvale

// The walk of a compound document, sized as the sizer sizes it (from its
// FAT) and then checked: the header (byte order FFFE at 0x1C, sector shift
// 9 or 12, mini sector shift 6), the FAT sectors listed in the header and
// the DIFAT chain, each marked as a FAT (FFFFFFFD) or DIFAT (FFFFFFFC)
// sector in the FAT, and the chains of the directory, the mini FAT, the
// mini stream and every large stream, which must end (FFFFFFFE) inside the
// file without a loop and cover their stream's size. The file ends with
// its last sector in use.
namespace brinvale {

namespace {

constexpr uint32_t kEndOfChain = 0xFFFFFFFE, kFatSector = 0xFFFFFFFD, kDifatSector = 0xFFFFFFFC;
constexpr size_t kRootStartAt = 0x74, kStreamSizeAt = 0x78, kEntryTypeAt = 0x42;
constexpr size_t kMiniCutoffAt = 0x38, kMiniStartAt = 0x3C;

class CompoundWalk {
 public:
  CompoundWalk(CarvedBytes& f, uint32_t sectorBytes) : m_f(f), m_sectorBytes(sectorBytes) {}

  uint64_t SectorAt(uint64_t n) const { return (n + 1) * m_sectorBytes; }

  CarvedFault LoadFat(std::span<const uint8_t> h) {
    const uint32_t fatCount = LoadLe32(h, kFatCountAt);
    const uint32_t difatCount = LoadLe32(h, kDifatCountAt);
    const uint32_t perSector = m_sectorBytes / 4;
    // Every FAT sector lies inside the extent: that bounds the counts.
    if (fatCount == 0 || uint64_t(fatCount) * m_sectorBytes > m_f.Extent())
      return CarvedFault::kRunsOff;
    if (uint64_t(difatCount) * m_sectorBytes > m_f.Extent()) return CarvedFault::kRunsOff;
    for (uint32_t i = 0; i < std::min(fatCount, kHeaderFatEntries); ++i)
      m_fatSectors.push_back(LoadLe32(h, kHeaderFatAt + 4 * i));
    uint32_t difat = LoadLe32(h, kFirstDifatAt);
    for (uint32_t d = 0; d < difatCount && m_fatSectors.size() < fatCount; ++d) {
      if (difat >= kMaxRegularSector) return CarvedFault::kBadStructure;
      m_difatSectors.push_back(difat);
      for (uint32_t k = 0; k + 1 < perSector && m_fatSectors.size() < fatCount; ++k) {
        uint32_t v = 0;
        if (!m_f.Le32(SectorAt(difat) + 4 * k, v)) return CarvedFault::kRunsOff;
        m_fatSectors.push_back(v);
      }
      if (!m_f.Le32(SectorAt(difat) + m_sectorBytes - 4, difat)) return CarvedFault::kRunsOff;
    }
    if (m_fatSectors.size() != fatCount) return CarvedFault::kBadStructure;
    m_fat.reserve(size_t(fatCount) * perSector);
    for (uint32_t s : m_fatSectors) {
      if (s >= kMaxRegularSector) return CarvedFault::kBadStructure;
      const size_t at = m_fat.size();
      m_fat.resize(at + perSector);
      std::vector<uint8_t> bytes(m_sectorBytes);
      if (!m_f.Read(SectorAt(s), bytes)) return CarvedFault::kRunsOff;
      for (uint32_t k = 0; k < perSector; ++k) m_fat[at + k] = LoadLe32(bytes, 4 * k);
    }
    return CarvedFault::kNone;
  }

  // Sectors in use: one past the last FAT entry that is not free.
  uint64_t SectorsInUse() const {
    size_t n = m_fat.size();
    while (n > 0 && m_fat[n - 1] == kFreeSector) --n;
    return n;
  }

  CarvedFault CheckMarks() const {
    for (uint32_t s : m_fatSectors)
      if (s >= m_fat.size() || m_fat[s] != kFatSector) return CarvedFault::kBadStructure;
    for (uint32_t s : m_difatSectors)
      if (s >= m_fat.size() || m_fat[s] != kDifatSector) return CarvedFault::kBadStructure;
    return CarvedFault::kNone;
  }

  // Follows a chain from `first`; `sectors` gets its length.
  CarvedFault Chain(uint32_t first, uint64_t& sectors) const {
    sectors = 0;
    const uint64_t used = SectorsInUse();
    for (uint32_t s = first; s != kEndOfChain;) {
      if (s >= used || ++sectors > used) return CarvedFault::kBadStructure;
      s = m_fat[s];
    }
    return CarvedFault::kNone;
  }

  CarvedFault CheckStreams(std::span<const uint8_t> h) {
    uint64_t directorySectors = 0;
    const uint32_t directory = LoadLe32(h, kDirectoryAt);
    if (CarvedFault fault = Chain(directory, directorySectors); fault != CarvedFault::kNone)
      return fault;
    if (directorySectors == 0) return CarvedFault::kBadStructure;
    const uint32_t miniCutoff = LoadLe32(h, kMiniCutoffAt);
    uint64_t sectors = 0;
    if (LoadLe32(h, kMiniFatCountAt) != 0)
      if (CarvedFault fault = Chain(LoadLe32(h, kMiniStartAt), sectors);
          fault != CarvedFault::kNone)
        return fault;
    const uint32_t perSector = m_sectorBytes / kDirEntryBytes;
    std::vector<uint8_t> entry(kDirEntryBytes);
    uint32_t s = directory;
    for (uint64_t d = 0; d < directorySectors; ++d, s = m_fat[s]) {
      for (uint32_t k = 0; k < perSector; ++k) {
        if (!m_f.Read(SectorAt(s) + uint64_t(k) * kDirEntryBytes, entry))
          return CarvedFault::kRunsOff;
        const uint8_t type = entry[kEntryTypeAt];
        if (d == 0 && k == 0 && type != 5) return CarvedFault::kBadStructure;  // the root first
        // Large streams (and the root's mini stream) live in the FAT.
        const uint64_t size =
            m_sectorBytes == 512 ? LoadLe32(entry, kStreamSizeAt) : LoadLe64(entry, kStreamSizeAt);
        const bool inFat = type == 5 || (type == 2 && size >= miniCutoff);
        if (!inFat || size == 0) continue;
        if (CarvedFault fault = Chain(LoadLe32(entry, kRootStartAt), sectors);
            fault != CarvedFault::kNone)
          return fault;
        if (sectors * m_sectorBytes < size) return CarvedFault::kBadStructure;
      }
    }
    return CarvedFault::kNone;
  }

 private:
  CarvedBytes& m_f;
  uint32_t m_sectorBytes;
  std::vector<uint32_t> m_fatSectors, m_difatSectors;
  std::vector<uint32_t> m_fat;
};

}  // namespace

CarvedVerdict CheckCompoundDocument(CarvedBytes& f) {
  std::vector<uint8_t> header(512);
  if (!f.HasAt(0, kSignature)) return DamagedVerdict(CarvedFault::kBadStructure);
  if (!f.Read(0, header)) return DamagedVerdict(CarvedFault::kRunsOff);
  const uint16_t shift = LoadLe16(header, kSectorShiftAt);
  if (LoadLe16(header, 0x1C) != 0xFFFE || (shift != 9 && shift != 12) ||
      LoadLe16(header, 0x20) != 6)
    return DamagedVerdict(CarvedFault::kBadStructure);
  CompoundWalk walk(f, 1u << shift);
  if (CarvedFault fault = walk.LoadFat(header); fault != CarvedFault::kNone)
    return DamagedVerdict(fault);
  const uint64_t length = walk.SectorAt(walk.SectorsInUse());
  if (!f.Holds(0, length)) return DamagedVerdict(CarvedFault::kRunsOff);
  if (CarvedFault fault = walk.CheckMarks(); fault != CarvedFault::kNone)
    return DamagedVerdict(fault);
  if (CarvedFault fault = walk.CheckStreams(header); fault != CarvedFault::kNone)
    return DamagedVerdict(fault);
  return CompleteVerdict(length);
}

}  // namespace brinvale
