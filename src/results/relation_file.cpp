#include "results/relation_file.h"

#include <charconv>
#include <limits>

namespace brinvale {
namespace {

constexpr std::string_view kEntryStart = " | ";
constexpr std::string_view kListStart = " - [";

// Reads an unsigned decimal at text[pos] no larger than `max`; advances pos.
template <typename T>
bool ReadDecimal(std::string_view text, size_t& pos, T max, T& value) {
  size_t start = pos;
  uint64_t v = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    uint64_t digit = uint64_t(text[pos] - '0');
    if (v > (std::numeric_limits<uint64_t>::max() - digit) / 10) return false;
    v = v * 10 + digit;
    if (v > uint64_t(max)) return false;
    ++pos;
  }
  if (pos == start) return false;
  value = T(v);
  return true;
}

}  // namespace

void ParseRelationText(std::string_view text, RelationMap& map) {
  constexpr uint32_t kMaxNumber = uint32_t(std::numeric_limits<int32_t>::max());
  size_t pos = 0;
  std::vector<uint32_t> numbers;
  while ((pos = text.find(kEntryStart, pos)) != std::string_view::npos) {
    pos += kEntryStart.size();
    uint64_t key = 0;
    if (!ReadDecimal(text, pos, std::numeric_limits<uint64_t>::max(), key)) continue;
    if (text.substr(pos, kListStart.size()) != kListStart) continue;
    pos += kListStart.size();
    numbers.clear();
    bool closed = false;
    if (pos < text.size() && text[pos] == ']') {
      closed = true;
      ++pos;
    }
    while (!closed) {
      uint32_t n = 0;
      if (!ReadDecimal(text, pos, kMaxNumber, n)) break;
      numbers.push_back(n);
      if (pos < text.size() && text[pos] == ',') {
        ++pos;
      } else {
        if (pos < text.size() && text[pos] == ']') {
          closed = true;
          ++pos;
        }
        break;
      }
    }
    if (closed || !numbers.empty()) {
      auto& list = map[key];
      list.insert(list.end(), numbers.begin(), numbers.end());
    }
  }
}

void AppendRelationEntry(std::string& out, uint64_t key, const std::vector<uint32_t>& numbers) {
  char digits[24];
  out += kEntryStart;
  auto r = std::to_chars(digits, digits + sizeof digits, key);
  out.append(digits, r.ptr);
  out += kListStart;
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (i) out += ',';
    r = std::to_chars(digits, digits + sizeof digits, int32_t(numbers[i]));
    out.append(digits, r.ptr);
  }
  out += ']';
}

}  // namespace brinvale
