#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Building the paths that recovery writes to.
namespace brinvale {

enum class TargetSystem {
  kPosix,    // "/" and NUL are the only characters a name cannot hold
  kWindows,  // \ / : * ? " < > | and control characters; device names
#if defined(_WIN32)
  kHost = kWindows,
#else
  kHost = kPosix,
#endif
};

// Makes a found name (UTF-8) safe to use as one component of a target path:
// characters the target system does not allow become "_", and so do names
// that would mean something else ("", ".", "..", and on Windows the device
// names CON, PRN, AUX, NUL, COM1..9, LPT1..9 with or without an extension,
// and trailing dots or blanks, which Windows would drop). A found name is
// only a name: after this it can never lead outside the chosen folder.
std::string SanitizeFileName(std::string_view name, TargetSystem system = TargetSystem::kHost);

// The most UTF-16 code units a numbered path of MakeUniquePath holds.
inline constexpr size_t kUniquePathUnits = 520;

// The path itself if nothing exists there; otherwise the first of
// "base(1).ext", "base(2).ext", ... in the same folder that does not exist,
// a path claimed by this thread's write-behind counting as existing,
// the base cut at a character boundary so that the numbered name takes at
// most `room` units of `system` (UTF-8 bytes, UTF-16 units on Windows) and
// the whole numbered path at most kUniquePathUnits UTF-16 units. Empty when
// the folder leaves no room for a numbered name within that limit.
std::filesystem::path MakeUniquePath(const std::filesystem::path& path, size_t room = 255,
                                     TargetSystem system = TargetSystem::kHost);

// The number of "\" and "/" among all but the last character of `path`.
int CountSeparators(std::string_view path);

}  // namespace brinvale
