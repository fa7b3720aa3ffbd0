#pragma once

#include <filesystem>
#include <string_view>

// Whether two path texts name the same file by the platform's rule for
// names. Only the text is compared: callers make both paths absolute and
// canonical first.
namespace brinvale::platform {

// Unit for unit on POSIX, where A.img and a.img are two files; without
// regard to case on Windows, as its file systems look names up.
bool SamePathText(std::u16string_view a, std::u16string_view b);

// A key for the name `path` gives on the target: two paths get the same key
// when the platform's file systems look them up as one file. The native
// text on POSIX; on Windows, the text with its case folded as the
// ordinal comparison above folds it.
std::filesystem::path::string_type PathKeyText(const std::filesystem::path& path);

}  // namespace brinvale::platform
