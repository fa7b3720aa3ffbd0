#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace brinvale {

// The printf conversions a message text holds, in order, separated by one
// blank: "Processed %d of %d" gives "%d %d", a text without "%" gives "".
// Only the plain conversions %c, %d, %s, %u, %lld and the literal %% are
// known; any other "%" (a flag, a width, another conversion, a "%" at the
// end) gives nullopt. Language files are edited by hand, so a text is
// checked this way before the program hands it to a formatter.
std::optional<std::string> PrintfConversions(std::string_view text);

// Whether `text` holds exactly `conversions` ("%s %d"), in that order.
bool TakesConversions(std::string_view text, std::string_view conversions);

}  // namespace brinvale
