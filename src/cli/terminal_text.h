#pragma once

#include <string>
#include <string_view>

namespace brinvale::cli {

// A found name (UTF-8) made safe to print on a terminal, escaped the way
// the JSON output escapes strings: control characters (C0, DEL and C1) as
// \n, \r, \t or \u00XX, the bidirectional overrides and isolates that
// reorder what follows as \u202E and the like, a backslash as \\, and a
// byte that is not part of valid UTF-8 as \xNN. Printable text is kept.
std::string TerminalSafe(std::string_view utf8);

}  // namespace brinvale::cli
