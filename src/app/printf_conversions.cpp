#include "app/printf_conversions.h"

namespace brinvale {

std::optional<std::string> PrintfConversions(std::string_view text) {
  // Longest first, so that "%lld" is not read as an unknown "%l".
  constexpr std::string_view kKnown[] = {"%lld", "%%", "%c", "%d", "%s", "%u"};
  std::string found;
  size_t at = 0;
  while ((at = text.find('%', at)) != std::string_view::npos) {
    const std::string_view rest = text.substr(at);
    std::string_view match;
    for (std::string_view known : kKnown) {
      if (rest.starts_with(known)) {
        match = known;
        break;
      }
    }
    if (match.empty()) return std::nullopt;
    if (!found.empty()) found += ' ';
    found += match;
    at += match.size();
  }
  return found;
}

bool TakesConversions(std::string_view text, std::string_view conversions) {
  const std::optional<std::string> found = PrintfConversions(text);
  return found && *found == conversions;
}

}  // namespace brinvale
