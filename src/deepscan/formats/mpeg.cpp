// MPEG program streams (MPEG-1 system and MPEG-2 PS, VOB).
#include <algorithm>
#include <numeric>

#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walk_fields.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

using namespace std::literals;

namespace {

constexpr auto kPackStart = "\x00\x00\x01\xBA"sv;
constexpr auto kSystemHeader = "\x00\x00\x01\xBB"sv;
constexpr auto kSequenceHeader = "\x00\x00\x01\xB3"sv;
constexpr auto kGroupStart = "\x00\x00\x01\xB8"sv;
constexpr auto kSequenceEnd = "\x00\x00\x01\xB7"sv;
constexpr auto kProgramEnd = "\x00\x00\x01\xB9"sv;

}  // namespace

// A pack header with a system header, or a video sequence header with a
// group of pictures, within the first 32 bytes.
int DetectMpeg(SizingContext&, std::span<const uint8_t> b) {
  if (b.size() < 16) return kTypeUnknown;
  const auto head = b.first(std::min<size_t>(b.size(), 32));
  if (HasAt(b, 0, kPackStart) && FindBytes(head, kSystemHeader) != kNotFound) return kTypeMpeg;
  if (HasAt(b, 0, kSequenceHeader) && FindBytes(head, kGroupStart) != kNotFound) return kTypeMpeg;
  return kTypeUnknown;
}

// An elementary video stream ends with a sequence end code, a program
// stream with a program end code. MPEG streams are full of sectors that
// look like new MPEG starts, so those do not end the file.
uint64_t SizeMpeg(SizingContext& ctx, std::span<const uint8_t> b) {
  const auto footer = HasAt(b, 0, kSequenceHeader) ? kSequenceEnd : kProgramEnd;
  ChunkReader chunks(ctx, 6 * kGiB, NextStartRule::kIgnoreMpeg);
  chunks.SetStartSector(b);
  while (chunks.Next()) {
    const size_t end =
        FindFooter(chunks.Window(), footer, ctx.bytesPerSector, chunks.SearchFrom(footer.size()));
    if (end != kNotFound) return std::min(chunks.Counted(), chunks.WindowOffset() + end);
  }
  return chunks.Counted();
}

}  // namespace brinvale

// The pack walk of an MPEG program stream: pack headers (00 00 01 BA;
// MPEG-1 12 bytes, MPEG-2 14 bytes and its stuffing), the system header
// and PES packets (00 00 01 BB and up, a 16-bit length after the code),
// one after the other up to the program end code 00 00 01 B9, which ends
// the file. A stream without it (VOB files, and what several muxers
// write) ends at the first bytes that are no start code, which states no
// length (unchecked): when no pack header follows anywhere after them in
// the extent, the stream ends there (its stream end). Where the writer cut the stream into fixed units
// of at least 2048 bytes (the greatest common divisor of the offsets of
// three or more pack headers), such bytes off a unit boundary show a
// broken stream.
//
// An elementary video stream (sequence header first) carries no lengths;
// its start codes (00 00 01 and a code, which the coded data cannot
// contain) run up to the sequence end code 00 00 01 B7: every code before
// it must be a video one.
namespace brinvale {

namespace {

CarvedVerdict CheckVideoElementaryStream(CarvedBytes& f) {
  CarvedVerdict verdict = DamagedVerdict(CarvedFault::kRunsOff);
  const bool read = f.FindAll("\x00\x00\x01"sv, [&](uint64_t at) {
    uint8_t code = 0;
    if (!f.Byte(at + 3, code)) return false;
    if (code == 0xB7) {
      verdict = CompleteVerdict(at + 4);
      return false;
    }
    // Pictures, slices, user data, sequence headers and extensions, GOPs.
    if (code <= 0xAF || code == 0xB2 || code == 0xB3 || code == 0xB5 || code == 0xB8) return true;
    verdict = DamagedVerdict(CarvedFault::kBadStructure);
    return false;
  });
  if (!read) return DamagedVerdict(CarvedFault::kUnreadable);
  return verdict;
}

// Whether a pack header (the code and a valid MPEG-1 or MPEG-2 mode byte)
// stands anywhere in the extent from `from` on: the stream goes on after
// bytes that are none of its own. Also true when there is too much to
// search, or a read fails.
bool ResumesAfter(CarvedBytes& f, uint64_t from) {
  if (f.Extent() - from > kResumptionSearchBytes) return true;
  bool found = false;
  const bool read = f.FindAll(
      kPackStart,
      [&](uint64_t at) {
        uint8_t mode = 0;
        found = f.Byte(at + 4, mode) && ((mode & 0xC0) == 0x40 || (mode & 0xF0) == 0x20);
        return !found;
      },
      from);
  return found || !read;
}

}  // namespace

CarvedVerdict CheckMpegProgram(CarvedBytes& f) {
  if (f.HasAt(0, kSequenceHeader)) return CheckVideoElementaryStream(f);
  constexpr uint64_t kMinUnit = 2048;
  uint64_t at = 0, unit = 0;
  uint64_t packs = 0;
  for (;;) {
    uint8_t code = 0;
    const bool startCode = f.HasAt(at, "\x00\x00\x01"sv) && f.Byte(at + 3, code);
    if (!startCode || code < 0xB9) {
      if (packs == 0) return DamagedVerdict(CarvedFault::kBadStructure);
      if (f.ReadFailed()) return DamagedVerdict(CarvedFault::kUnreadable);
      if (packs >= 3 && unit >= kMinUnit && at % unit != 0)
        return DamagedVerdict(CarvedFault::kBadStructure);
      if (ResumesAfter(f, at)) return {};
      if (f.ReadFailed()) return DamagedVerdict(CarvedFault::kUnreadable);
      return StreamEndVerdict(at);
    }
    if (code == 0xB9) return CompleteVerdict(at + 4);
    if (code == 0xBA) {
      uint8_t mode = 0, stuffing = 0;
      uint64_t length = 0;
      if (!f.Byte(at + 4, mode)) return DamagedVerdict(CarvedFault::kRunsOff);
      if ((mode & 0xC0) == 0x40) {
        if (!f.Byte(at + 13, stuffing)) return DamagedVerdict(CarvedFault::kRunsOff);
        length = 14 + (stuffing & 7);
      } else if ((mode & 0xF0) == 0x20) {
        length = 12;
      } else {
        return DamagedVerdict(CarvedFault::kBadStructure);
      }
      unit = std::gcd(unit, at);
      ++packs;
      if (!f.Holds(at, length)) return DamagedVerdict(CarvedFault::kRunsOff);
      at += length;
      continue;
    }
    if (packs == 0) return DamagedVerdict(CarvedFault::kBadStructure);
    uint16_t length = 0;
    if (!f.Be16(at + 4, length) || !f.Holds(at, 6 + uint64_t(length)))
      return DamagedVerdict(CarvedFault::kRunsOff);
    at += 6 + uint64_t(length);
  }
}

}  // namespace brinvale
