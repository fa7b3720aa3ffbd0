#pragma once

#include <filesystem>
#include <optional>
#include <string>

// A program started with disk rights through pkexec runs as root on behalf
// of the user who started it: that user's folders stay the program's
// per-user folders, and what it leaves there goes back to that user.
namespace brinvale::platform {

// The home folder of the user who started this program through pkexec
// (PKEXEC_UID, when running as root); empty otherwise, and always on
// Windows, where an elevated program keeps the user's own folders.
std::optional<std::filesystem::path> CallerHome();

// Gives `path` and everything below it to the user who started the
// program through pkexec (owner and that user's group), so that the user
// can delete it later. Does nothing otherwise. Symbolic links are changed
// themselves, never followed. Returns 0 or the first system error.
int GiveToCaller(const std::filesystem::path& path);

}  // namespace brinvale::platform
