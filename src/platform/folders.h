#pragma once

#include <filesystem>

namespace brinvale::platform {

// The per-user application-data folder: CSIDL_APPDATA on Windows,
// $XDG_DATA_HOME or ~/.local/share on Linux. Empty when none is known.
std::filesystem::path AppDataFolder();

// The setting a user changes to move that folder: "XDG_DATA_HOME" on
// Linux; empty on Windows, where it is the shell's own.
const char* AppDataFolderSetting();

// Creates `folder` with every missing parent. An existing folder, or an
// empty path, is fine. Returns 0 or the system error.
int CreateFolders(const std::filesystem::path& folder);
// The same; `madeLast` tells whether this call made `folder` itself, which
// then held nothing when it was made.
int CreateFolders(const std::filesystem::path& folder, bool& madeLast);

}  // namespace brinvale::platform
