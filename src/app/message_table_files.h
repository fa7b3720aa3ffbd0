#pragma once

#include <filesystem>

// Where the message table finds "config.ini" and the "Languages" folder.
//
// The program's data folder holds the shipped files: "config.ini" and
// "Languages/<name>.ini". It is the executable's folder on Windows and in the
// build tree (the build copies data/config.ini and data/Languages/*.ini next
// to the programs in <build>/src/), and <prefix>/share/brinvale/ beside
// <prefix>/bin/ when installed on Linux.
//
// The settings are also kept per user, in
// $XDG_CONFIG_HOME/OrlentaBrinvaleRecovery/config.ini (the roaming
// application-data folder on Windows), for a program whose folder the user
// may not write.
namespace brinvale {

struct MessageTableFiles {
  std::filesystem::path dataFolder;        // holds "config.ini" and "Languages/"; empty: none
  std::filesystem::path userSettingsFile;  // the user's own "config.ini"; empty when none
};

// The data folder of a program in `executableFolder`: that folder when it
// holds "config.ini", else "../share/brinvale" next to it when that holds
// one, else the executable's folder itself (every text is then empty).
// Empty for an empty `executableFolder`.
std::filesystem::path FindDataFolder(const std::filesystem::path& executableFolder);

// The per-user settings file under `userConfigFolder`; empty for an empty
// folder.
std::filesystem::path UserSettingsFile(const std::filesystem::path& userConfigFolder);

// The files of the running program.
MessageTableFiles DefaultMessageTableFiles();

}  // namespace brinvale
