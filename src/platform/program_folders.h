#pragma once

#include <filesystem>

// Where the running program lies and where the user keeps settings.
namespace brinvale::platform {

// The folder of the running executable (/proc/self/exe on Linux,
// GetModuleFileNameW on Windows). Empty when it cannot be found.
std::filesystem::path ExecutableFolder();

// The per-user settings folder: $XDG_CONFIG_HOME or ~/.config on Linux, the
// roaming application-data folder (CSIDL_APPDATA) on Windows. Empty when
// none is known.
std::filesystem::path UserConfigFolder();

// Whether this process may create files in `folder`. On Windows a probe
// file is made and deleted, since the folder's attributes say nothing
// about its access rights. A missing folder is not writable.
bool IsFolderWritable(const std::filesystem::path& folder);

}  // namespace brinvale::platform
