#include "cli/source_spec.h"

#include <charconv>
#include <vector>

namespace brinvale::cli {
namespace {

template <typename T>
bool ParseNumber(std::string_view text, T& out) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size();
}

std::vector<std::string_view> Split(std::string_view text, char sep) {
  std::vector<std::string_view> parts;
  for (size_t start = 0;;) {
    size_t end = text.find(sep, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

}  // namespace

std::optional<SourceSpec> ParseSourceSpec(std::string_view text, std::string& error) {
  SourceSpec given;
  if (text.rfind("disk:", 0) != 0) {
    if (text.empty()) {
      error = "no source given";
      return std::nullopt;
    }
    given.imagePath = std::string(text);
    return given;
  }
  std::vector<std::string_view> parts = Split(text.substr(5), ':');
  if ((parts.size() != 1 && parts.size() != 3) || !ParseNumber(parts[0], given.diskNumber) ||
      given.diskNumber < 0) {
    error = "expected disk:N or disk:N:START:COUNT, got \"" + std::string(text) + "\"";
    return std::nullopt;
  }
  given.kind = SourceSpec::Kind::kDisk;
  if (parts.size() == 3) {
    if (!ParseNumber(parts[1], given.startSector) || !ParseNumber(parts[2], given.sectorCount) ||
        given.sectorCount == 0) {
      error = "expected disk:N:START:COUNT with whole numbers and COUNT above 0, got \"" +
              std::string(text) + "\"";
      return std::nullopt;
    }
    given.kind = SourceSpec::Kind::kPartition;
  }
  return given;
}

}  // namespace brinvale::cli
