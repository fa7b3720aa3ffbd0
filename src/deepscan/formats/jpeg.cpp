// JPEG pictures (JFIF and Exif), closed by the end-of-image marker FF D9.
#include <algorithm>
#include <cstring>

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

}  // namespace

CarvedVerdict CheckJpeg(CarvedBytes& f) {
  if (!f.HasAt(0, "\xFF\xD8"sv)) return DamagedVerdict(CarvedFault::kBadStructure);
  uint64_t at = 2;
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
    at += length;
    if (m == 0xDA) {
      if (!sawFrame) return DamagedVerdict(CarvedFault::kBadStructure);
      sawScan = true;
      if (!EndOfEntropyData(f, at, at)) return DamagedVerdict(CarvedFault::kRunsOff);
    }
  }
}

}  // namespace brinvale
