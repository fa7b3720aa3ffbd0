#include "deepscan/format_bytes.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace brinvale {

size_t FindBytes(std::span<const uint8_t> hay, std::string_view needle, size_t from) {
  if (needle.empty() || from > hay.size() || needle.size() > hay.size() - from) return kNotFound;
  // memchr runs through the bytes many at a time; most candidates fail at
  // the first byte, so only the few that pass are compared in full.
  const auto first = uint8_t(needle[0]);
  const uint8_t* const begin = hay.data();
  const uint8_t* at = begin + from;
  const uint8_t* const last = begin + (hay.size() - needle.size());
  while (at <= last) {
    const void* hit = std::memchr(at, first, size_t(last - at) + 1);
    if (hit == nullptr) return kNotFound;
    at = static_cast<const uint8_t*>(hit);
    if (std::memcmp(at + 1, needle.data() + 1, needle.size() - 1) == 0) return size_t(at - begin);
    ++at;
  }
  return kNotFound;
}

size_t FindLastBytes(std::span<const uint8_t> hay, std::string_view needle) {
  if (needle.empty() || needle.size() > hay.size()) return kNotFound;
  // Blocks from the end, each searched forwards with memchr (there is no
  // portable reverse memchr); the last hit of the first block that has one
  // is the answer. A start position belongs to one block; the needle may
  // run on into the next.
  constexpr size_t kBlock = 4096;
  const size_t starts = hay.size() - needle.size() + 1;
  for (size_t blockEnd = starts; blockEnd > 0;) {
    const size_t blockStart = blockEnd > kBlock ? blockEnd - kBlock : 0;
    const auto window = hay.first(blockEnd - 1 + needle.size());
    size_t last = kNotFound;
    for (size_t at = FindBytes(window, needle, blockStart); at != kNotFound;
         at = FindBytes(window, needle, at + 1))
      last = at;
    if (last != kNotFound) return last;
    blockEnd = blockStart;
  }
  return kNotFound;
}

bool PassesFooterRule(std::span<const uint8_t> bytes, size_t end, uint32_t bytesPerSector) {
  if (bytesPerSector == 0 || end > bytes.size()) return false;
  if (end % bytesPerSector == 0) return true;
  const size_t sectorEnd = std::min(bytes.size(), (end / bytesPerSector + 1) * bytesPerSector);
  return std::all_of(bytes.begin() + ptrdiff_t(end), bytes.begin() + ptrdiff_t(sectorEnd),
                     [](uint8_t b) { return b == 0; });
}

size_t FindFooter(std::span<const uint8_t> hay, std::string_view needle, uint32_t bytesPerSector,
                  size_t from) {
  for (size_t at = FindBytes(hay, needle, from); at != kNotFound;
       at = FindBytes(hay, needle, at + 1)) {
    if (PassesFooterRule(hay, at + needle.size(), bytesPerSector)) return at + needle.size();
  }
  return kNotFound;
}

}  // namespace brinvale
