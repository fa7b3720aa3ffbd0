#pragma once

#include <cstdint>
#include <optional>

#include "deepscan/carved_bytes.h"
#include "results/carved_condition.h"

// Field readers the media walkers share on top of CarvedBytes: widths the
// carved bytes do not read themselves, and the four-letter codes of chunked
// formats.
namespace brinvale {

inline bool Be24(CarvedBytes& f, uint64_t at, uint32_t& out) {
  uint8_t b[3];
  if (!f.Read(at, b)) return false;
  out = uint32_t(b[0]) << 16 | uint32_t(b[1]) << 8 | b[2];
  return true;
}

inline bool Be64(CarvedBytes& f, uint64_t at, uint64_t& out) {
  uint32_t high = 0, low = 0;
  if (!f.Be32(at, high) || !f.Be32(at + 4, low)) return false;
  out = uint64_t(high) << 32 | low;
  return true;
}

// Four bytes of printable ASCII (space to tilde), as chunk and box names are.
inline bool FourCcAt(CarvedBytes& f, uint64_t at, char (&out)[4]) {
  uint8_t b[4];
  if (!f.Read(at, b)) return false;
  for (int i = 0; i < 4; ++i) {
    if (b[i] < 0x20 || b[i] > 0x7E) return false;
    out[i] = char(b[i]);
  }
  return true;
}

// A stream that states no length of its own (no end code, no frame count)
// ends where its units stop when nothing after them in the extent resumes
// it. At most this many bytes after the last unit are searched for a
// resumption: past it the end stays unknown.
inline constexpr uint64_t kResumptionSearchBytes = 64ull << 20;

// The tags that may follow an audio stream's last frame: an APEv2 tag with
// its header (32 bytes, then items and footer of the stated size), then an
// ID3v1 tag (128 bytes from "TAG"). Moves `at` past those found; a tag that
// cannot be gives its damaged verdict.
inline std::optional<CarvedVerdict> SkipTrailingAudioTags(CarvedBytes& f, uint64_t& at) {
  if (f.HasAt(at, "APETAGEX")) {
    uint32_t size = 0, flags = 0;
    if (!f.Le32(at + 12, size) || !f.Le32(at + 20, flags))
      return DamagedVerdict(CarvedFault::kRunsOff);
    if (!(flags & 0x20000000) || size < 32) return DamagedVerdict(CarvedFault::kBadStructure);
    if (!f.Holds(at, 32 + uint64_t(size))) return DamagedVerdict(CarvedFault::kRunsOff);
    if (!f.HasAt(at + size, "APETAGEX")) return DamagedVerdict(CarvedFault::kBadStructure);
    at += 32 + uint64_t(size);
  }
  if (f.HasAt(at, "TAG") && f.Holds(at, 128)) at += 128;
  return std::nullopt;
}

}  // namespace brinvale
