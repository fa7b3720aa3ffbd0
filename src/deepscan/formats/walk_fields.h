#pragma once

#include <cstdint>

#include "deepscan/carved_bytes.h"

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

}  // namespace brinvale
