#pragma once

#include <string_view>

// Whether two path texts name the same file by the platform's rule for
// names. Only the text is compared: callers make both paths absolute and
// canonical first.
namespace brinvale::platform {

// Unit for unit on POSIX, where A.img and a.img are two files; without
// regard to case on Windows, as its file systems look names up.
bool SamePathText(std::u16string_view a, std::u16string_view b);

}  // namespace brinvale::platform
