#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

// Small byte tests shared by the detectors and sizers. Every test checks
// the length itself, so a short buffer simply does not match.
namespace brinvale {

inline constexpr size_t kNotFound = size_t(-1);

// `bytes` (given as a string literal, NULs allowed) stand at `at`.
inline bool HasAt(std::span<const uint8_t> b, size_t at, std::string_view bytes) {
  return at <= b.size() && bytes.size() <= b.size() - at &&
         std::memcmp(b.data() + at, bytes.data(), bytes.size()) == 0;
}

inline uint16_t LoadBe16(std::span<const uint8_t> b, size_t at) {
  return uint16_t(b[at] << 8 | b[at + 1]);
}

inline uint32_t LoadBe32(std::span<const uint8_t> b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 |
         uint32_t(b[at + 3]);
}

// The first occurrence of `needle` at or after `from`, or kNotFound.
size_t FindBytes(std::span<const uint8_t> hay, std::string_view needle, size_t from = 0);

// The last occurrence of `needle`, or kNotFound.
size_t FindLastBytes(std::span<const uint8_t> hay, std::string_view needle);

// An end marker ending at `end` (an offset into `bytes`, which starts on a
// sector boundary) counts when it ends on a sector boundary or only zero
// bytes follow it up to the end of its sector (or of `bytes`).
bool PassesFooterRule(std::span<const uint8_t> bytes, size_t end, uint32_t bytesPerSector);

// The first `needle` in `hay` that passes the footer rule; the offset just
// after it, or kNotFound.
size_t FindFooter(std::span<const uint8_t> hay, std::string_view needle, uint32_t bytesPerSector,
                  size_t from = 0);

}  // namespace brinvale
