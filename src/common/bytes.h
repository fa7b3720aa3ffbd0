#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Little-endian loads and stores over byte spans. Every on-disk layout is
// read and written through these, never by casting a packed struct, so the
// code does not depend on alignment, byte order or a compiler's packing.
// The caller checks the length before the first load; the offsets here are
// not bounds-checked in release builds.
namespace brinvale {

inline uint16_t LoadLe16(std::span<const uint8_t> b, size_t at) {
  return uint16_t(b[at] | b[at + 1] << 8);
}

inline uint32_t LoadLe32(std::span<const uint8_t> b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 |
         uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

inline uint64_t LoadLe64(std::span<const uint8_t> b, size_t at) {
  return uint64_t(LoadLe32(b, at)) | uint64_t(LoadLe32(b, at + 4)) << 32;
}

inline void StoreLe16(std::span<uint8_t> b, size_t at, uint16_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}

inline void StoreLe32(std::span<uint8_t> b, size_t at, uint32_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
  b[at + 2] = uint8_t(v >> 16);
  b[at + 3] = uint8_t(v >> 24);
}

inline void StoreLe64(std::span<uint8_t> b, size_t at, uint64_t v) {
  StoreLe32(b, at, uint32_t(v));
  StoreLe32(b, at + 4, uint32_t(v >> 32));
}

}  // namespace brinvale
