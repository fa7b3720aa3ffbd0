#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "results/target_paths.h"

// Fitting found names (UTF-8) into what a target file system allows.
namespace brinvale {

// The longest name and paths a target system takes, in its own units:
// UTF-8 bytes on POSIX, UTF-16 code units on Windows.
struct TargetLimits {
  size_t name;    // one name: 255 on both
  size_t file;    // a whole path to a file: 4095 (PATH_MAX less its NUL); 259 (MAX_PATH less its NUL)
  size_t folder;  // a whole path to a folder: 4095; 247 (CreateDirectoryW keeps room for an 8.3 name)
};

TargetLimits LimitsOf(TargetSystem system);

// The length of `utf8` in the target system's units.
size_t TargetLength(std::string_view utf8, TargetSystem system);

// The units a file's name may take in the folder `folderUtf8`: the name
// limit, or what the path limit leaves after the folder and a separator;
// 0 when the folder leaves no room.
size_t FileNameRoom(std::string_view folderUtf8, TargetSystem system);

// `name` when it takes at most `room` units; otherwise cut at a character
// boundary (never inside a UTF-8 sequence or a surrogate pair) to fit,
// keeping the extension (the last dot and what follows) when it takes at
// most half the room. On Windows a cut name never ends in "." or " ".
// Empty when `room` is 0.
std::string FitFileName(std::string_view name, size_t room, TargetSystem system);

// The name an unfinished file is kept under: "photo.jpg" -> "photo.partial.jpg",
// "README" -> "README.partial", the base name cut so the whole takes at most
// `room` units.
std::string PartialFileName(std::string_view name, size_t room, TargetSystem system);

}  // namespace brinvale
