#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "platform/caller_rights.h"
#include "platform/folders.h"

namespace brinvale::platform {

std::filesystem::path AppDataFolder() {
  // Started with disk rights through pkexec, whose cleared environment
  // names root's folders: the folders stay those of the user who started it.
  if (const std::optional<std::filesystem::path> caller = CallerHome())
    return *caller / ".local" / "share";
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/')
    return xdg;
  const char* home = std::getenv("HOME");
  if (!home || !home[0]) {
    if (const passwd* pw = getpwuid(getuid())) home = pw->pw_dir;
  }
  if (!home || !home[0]) return {};
  return std::filesystem::path(home) / ".local" / "share";
}

const char* AppDataFolderSetting() { return "XDG_DATA_HOME"; }

}  // namespace brinvale::platform
