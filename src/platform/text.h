#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Text conversions. The core keeps text as UTF-8 in std::string; UTF-16 is
// what Windows and the FAT and NTFS name fields use.
namespace brinvale::platform {

// Invalid sequences become U+FFFD; unpaired surrogates likewise.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Paths from and to UTF-8 on every platform (std::filesystem would take a
// std::string in the ANSI code page on Windows).
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

}  // namespace brinvale::platform
