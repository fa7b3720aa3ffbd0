// JPEG pictures (JFIF and Exif), closed by the end-of-image marker FF D9.
#include <algorithm>
#include <cstring>
#include <vector>

#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

using namespace std::literals;

namespace {

constexpr auto kEndOfImage = "\xFF\xD9"sv;

// The end of the first FF D9 in `bytes` when it passes the footer rule.
size_t FirstEndOfImage(std::span<const uint8_t> bytes, uint32_t bytesPerSector, size_t from = 0) {
  const size_t at = FindBytes(bytes, kEndOfImage, from);
  if (at == kNotFound || !PassesFooterRule(bytes, at + 2, bytesPerSector)) return kNotFound;
  return at + 2;
}

}  // namespace

// Start of image, then an APP0 "JFIF" or APP1 "Exif" segment (name at 6).
int DetectJpeg(SizingContext&, std::span<const uint8_t> b) {
  if (b.size() < 16) return kTypeUnknown;
  if (HasAt(b, 0, "\xFF\xD8\xFF\xE0"sv) && HasAt(b, 6, "JFIF")) return kTypeJpeg;
  if (HasAt(b, 0, "\xFF\xD8\xFF\xE1"sv) && HasAt(b, 6, "Exif")) return kTypeJpeg;
  return kTypeUnknown;
}

// Embedded thumbnails carry their own FF D9, so only the first one of the
// buffer and of each chunk is looked at, and the file runs on to the next
// start; the last end marker seen then trims it.
uint64_t SizeJpeg(SizingContext& ctx, std::span<const uint8_t> b) {
  if (size_t end = FirstEndOfImage(b, ctx.bytesPerSector); end != kNotFound) return end;
  uint64_t lastEnd = UINT64_MAX;
  ChunkReader chunks(ctx, 128 * kMiB, NextStartRule::kAnyFormat);
  chunks.SetStartSector(b);
  while (chunks.Next()) {
    const size_t end = FirstEndOfImage(chunks.Window(), ctx.bytesPerSector, chunks.NewBytesFrom(2));
    if (end != kNotFound) lastEnd = chunks.WindowOffset() + end;
  }
  return std::min(chunks.Counted(), lastEnd);
}

}  // namespace brinvale

// The marker walk of a JPEG file: SOI, then segments (marker, 16-bit BE
// length that counts itself) up to EOI. After a start-of-scan segment the
// entropy-coded data runs to the next marker: FF 00 is a stuffed FF, FF D0
// to FF D7 are restarts and FF FF is fill. Thumbnails inside APP segments
// are skipped with their segment, EOI and all.
namespace brinvale {

namespace {

// SOF0..SOF15 except DHT (C4), JPG (C8) and DAC (CC).
bool IsFrameMarker(uint8_t m) {
  return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}
bool IsRestart(uint8_t m) { return m >= 0xD0 && m <= 0xD7; }

// The offset of the FF that starts the marker ending the entropy-coded
// data from `at`, or false when the extent ends first.
bool EndOfEntropyData(CarvedBytes& f, uint64_t at, uint64_t& marker) {
  while (at < f.Extent()) {
    const auto view = f.View(at);
    if (view.empty()) return false;
    const void* hit = std::memchr(view.data(), 0xFF, view.size());
    if (hit == nullptr) {
      at += view.size();
      continue;
    }
    const uint64_t ff = at + uint64_t(static_cast<const uint8_t*>(hit) - view.data());
    uint8_t next = 0;
    if (!f.Byte(ff + 1, next)) return false;
    if (next == 0x00 || IsRestart(next) || next == 0xFF) {
      at = ff + 1 + (next != 0xFF);
      continue;
    }
    marker = ff;
    return true;
  }
  return false;
}

// The further images a multi-picture file (an APP2 "MPF" segment: a TIFF
// header and an IFD whose tag B002 lists 16-byte entries of attributes,
// size and offset from that header) stores after the first image's EOI;
// the first entry is the first image itself (offset 0).
struct MorePicture {
  uint64_t offset = 0;
  uint64_t size = 0;
};

void ReadMultiPicture(CarvedBytes& f, uint64_t data, uint16_t length,
                      std::vector<MorePicture>& out) {
  if (length < 2 + 4 + 8 || !f.HasAt(data, "MPF\0"sv)) return;
  const uint64_t base = data + 4;
  const bool big = f.HasAt(base, "MM\x00\x2A"sv);
  if (!big && !f.HasAt(base, "II\x2A\x00"sv)) return;
  auto u16 = [&](uint64_t at, uint16_t& v) { return big ? f.Be16(at, v) : f.Le16(at, v); };
  auto u32 = [&](uint64_t at, uint32_t& v) { return big ? f.Be32(at, v) : f.Le32(at, v); };
  uint32_t ifd = 0;
  uint16_t count = 0;
  if (!u32(base + 4, ifd) || !u16(base + ifd, count)) return;
  for (uint32_t i = 0; i < count && i < 64; ++i) {
    const uint64_t entry = base + ifd + 2 + 12ull * i;
    uint16_t tag = 0;
    uint32_t bytes = 0, at = 0;
    if (!u16(entry, tag) || !u32(entry + 4, bytes) || !u32(entry + 8, at)) return;
    if (tag != 0xB002) continue;
    for (uint32_t k = 0; k < bytes / 16 && k < 64; ++k) {
      uint32_t size = 0, offset = 0;
      if (!u32(base + at + 16ull * k + 4, size) || !u32(base + at + 16ull * k + 8, offset)) return;
      if (offset != 0) out.push_back({base + offset, size});
    }
    return;
  }
}

// Walks one image from its SOI at `start`; `more` (may be null) gets the
// further images of a multi-picture file.
CarvedVerdict WalkImage(CarvedBytes& f, uint64_t start, std::vector<MorePicture>* more) {
  if (!f.HasAt(start, "\xFF\xD8"sv)) return DamagedVerdict(CarvedFault::kBadStructure);
  uint64_t at = start + 2;
  bool sawFrame = false, sawScan = false;
  while (true) {
    uint8_t b = 0;
    if (!f.Byte(at, b)) return DamagedVerdict(CarvedFault::kRunsOff);
    if (b != 0xFF) return DamagedVerdict(CarvedFault::kBadStructure);
    uint8_t m = 0xFF;
    while (m == 0xFF) {
      if (!f.Byte(++at, m)) return DamagedVerdict(CarvedFault::kRunsOff);
    }
    ++at;
    if (m == 0xD9) {
      if (!sawScan) return DamagedVerdict(CarvedFault::kBadStructure);
      return CompleteVerdict(at);
    }
    if (m == 0x00 || m == 0xD8) return DamagedVerdict(CarvedFault::kBadStructure);
    if (IsRestart(m) || m == 0x01) continue;  // markers without a length
    uint16_t length = 0;
    if (!f.Be16(at, length)) return DamagedVerdict(CarvedFault::kRunsOff);
    if (length < 2) return DamagedVerdict(CarvedFault::kBadStructure);
    if (!f.Holds(at, length)) return DamagedVerdict(CarvedFault::kRunsOff);
    if (IsFrameMarker(m)) sawFrame = true;
    if (m == 0xE2 && more != nullptr) ReadMultiPicture(f, at + 2, length, *more);
    at += length;
    if (m == 0xDA) {
      if (!sawFrame) return DamagedVerdict(CarvedFault::kBadStructure);
      sawScan = true;
      if (!EndOfEntropyData(f, at, at)) return DamagedVerdict(CarvedFault::kRunsOff);
    }
  }
}

}  // namespace

// The first image, then every further image a multi-picture segment lists:
// the file ends with the last of them.
CarvedVerdict CheckJpeg(CarvedBytes& f) {
  std::vector<MorePicture> more;
  CarvedVerdict verdict = WalkImage(f, 0, &more);
  if (verdict.condition != CarvedCondition::kComplete) return verdict;
  for (const MorePicture& p : more) {
    const CarvedVerdict image = WalkImage(f, p.offset, nullptr);
    if (image.condition != CarvedCondition::kComplete) return image;
    if (image.exactLength != p.offset + p.size) return DamagedVerdict(CarvedFault::kBadStructure);
    verdict.exactLength = std::max(verdict.exactLength, image.exactLength);
  }
  return verdict;
}

}  // namespace brinvale
