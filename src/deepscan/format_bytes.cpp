#include "deepscan/format_bytes.h"

#include <algorithm>
#include <functional>

namespace brinvale {

size_t FindBytes(std::span<const uint8_t> hay, std::string_view needle, size_t from) {
  if (needle.empty() || from > hay.size() || needle.size() > hay.size() - from) return kNotFound;
  const auto* first = reinterpret_cast<const uint8_t*>(needle.data());
  const auto it = std::search(hay.begin() + ptrdiff_t(from), hay.end(),
                              std::boyer_moore_horspool_searcher(first, first + needle.size()));
  return it == hay.end() ? kNotFound : size_t(it - hay.begin());
}

size_t FindLastBytes(std::span<const uint8_t> hay, std::string_view needle) {
  if (needle.empty() || needle.size() > hay.size()) return kNotFound;
  const auto* first = reinterpret_cast<const uint8_t*>(needle.data());
  const auto it = std::find_end(hay.begin(), hay.end(), first, first + needle.size());
  return it == hay.end() ? kNotFound : size_t(it - hay.begin());
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
