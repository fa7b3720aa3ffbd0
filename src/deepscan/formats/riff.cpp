// RIFF files: AVI video and WAV sound. Both carry their length.
#include <algorithm>
#include <string_view>

#include "common/bytes.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walk_fields.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

namespace {

// The RIFF chunk's data length (at 4) plus its own 8-byte header.
uint64_t SizeRiff(SizingContext& ctx, std::span<const uint8_t> b) {
  if (b.size() < 8) return ctx.bytesPerSector;
  return uint64_t(LoadLe32(b, 4)) + 8;
}

}  // namespace

// "RIFF", length, form type "AVI " at 8, a "LIST" chunk first at 12.
int DetectAvi(SizingContext&, std::span<const uint8_t> b) {
  return b.size() >= 16 && HasAt(b, 0, "RIFF") && HasAt(b, 8, "AVI ") && HasAt(b, 12, "LIST")
             ? kTypeAvi
             : kTypeUnknown;
}

uint64_t SizeAvi(SizingContext& ctx, std::span<const uint8_t> b) { return SizeRiff(ctx, b); }

// "RIFF", length, form type "WAVE" at 8, the "fmt " chunk first at 12.
int DetectWav(SizingContext&, std::span<const uint8_t> b) {
  return b.size() >= 16 && HasAt(b, 0, "RIFF") && HasAt(b, 8, "WAVE") && HasAt(b, 12, "fmt ")
             ? kTypeWav
             : kTypeUnknown;
}

uint64_t SizeWav(SizingContext& ctx, std::span<const uint8_t> b) { return SizeRiff(ctx, b); }

}  // namespace brinvale

// The chunk walk of a RIFF file: "RIFF", the data length, the form type,
// then chunks (four-letter name, 32-bit LE length, data, a pad byte after
// odd lengths) that fill the data exactly; "LIST" chunks are walked
// inside too. A WAV file needs its "fmt " and "data" chunks, an AVI file
// its "hdrl" and "movi" lists. An AVI larger than one RIFF goes on with
// "RIFF" "AVIX" chunks right after the first.
namespace brinvale {

namespace {

struct RiffSeen {
  bool fmt = false, data = false, hdrl = false, movi = false;
};

// Walks the chunks in [at, end); the nesting depth is bounded.
CarvedFault WalkRiffChunks(CarvedBytes& f, uint64_t at, uint64_t end, int depth, RiffSeen& seen) {
  while (at < end) {
    char name[4];
    uint32_t length = 0;
    if (end - at < 8) return CarvedFault::kBadStructure;
    if (!f.Holds(at, 8)) return CarvedFault::kRunsOff;
    if (!FourCcAt(f, at, name) || !f.Le32(at + 4, length)) return CarvedFault::kBadStructure;
    const uint64_t next = at + 8 + length + (length & 1);
    // The pad byte of a last odd chunk may be missing from the RIFF length.
    if (next > end && !(length & 1 && next == end + 1)) return CarvedFault::kBadStructure;
    const std::string_view id(name, 4);
    if (id == "fmt ") seen.fmt = true;
    if (id == "data") seen.data = true;
    if (id == "LIST") {
      char form[4];
      if (length < 4 || !FourCcAt(f, at + 8, form)) return CarvedFault::kBadStructure;
      const std::string_view kind(form, 4);
      if (kind == "hdrl") seen.hdrl = true;
      if (kind == "movi") seen.movi = true;
      if (depth < 8) {
        const CarvedFault inner = WalkRiffChunks(f, at + 12, at + 8 + length, depth + 1, seen);
        if (inner != CarvedFault::kNone) return inner;
      }
    } else if (!f.Holds(at, 8 + uint64_t(length))) {
      return CarvedFault::kRunsOff;
    }
    at = std::min(next, end);
  }
  return CarvedFault::kNone;
}

}  // namespace

CarvedVerdict CheckRiff(CarvedBytes& f) {
  char form[4];
  uint32_t length = 0;
  if (!f.HasAt(0, "RIFF") || !f.Le32(4, length) || !FourCcAt(f, 8, form) || length < 4)
    return DamagedVerdict(CarvedFault::kBadStructure);
  const std::string_view kind(form, 4);
  RiffSeen seen;
  uint64_t end = 8 + uint64_t(length);
  if (!f.Holds(0, end)) return DamagedVerdict(CarvedFault::kRunsOff);
  if (const CarvedFault fault = WalkRiffChunks(f, 12, end, 0, seen); fault != CarvedFault::kNone)
    return DamagedVerdict(fault);
  if (kind == "WAVE" && !(seen.fmt && seen.data)) return DamagedVerdict(CarvedFault::kBadStructure);
  if (kind == "AVI ") {
    if (!(seen.hdrl && seen.movi)) return DamagedVerdict(CarvedFault::kBadStructure);
    // OpenDML extensions: further RIFF chunks of form "AVIX".
    while (f.HasAt(end, "RIFF") && f.HasAt(end + 8, "AVIX")) {
      uint32_t more = 0;
      if (!f.Le32(end + 4, more) || more < 4) return DamagedVerdict(CarvedFault::kBadStructure);
      if (!f.Holds(end, 8 + uint64_t(more))) return DamagedVerdict(CarvedFault::kRunsOff);
      RiffSeen extension;
      if (const CarvedFault fault = WalkRiffChunks(f, end + 12, end + 8 + more, 0, extension);
          fault != CarvedFault::kNone)
        return DamagedVerdict(fault);
      end += 8 + uint64_t(more);
    }
  }
  if (f.ReadFailed()) return DamagedVerdict(CarvedFault::kUnreadable);
  return CompleteVerdict(end);
}

}  // namespace brinvale
