#pragma once

#include <filesystem>

namespace brinvale::platform {

// The per-user application-data folder: CSIDL_APPDATA on Windows,
// $XDG_DATA_HOME or ~/.local/share on Linux. Empty when none is known.
std::filesystem::path AppDataFolder();

}  // namespace brinvale::platform
