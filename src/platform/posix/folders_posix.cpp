#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/folders.h"

namespace brinvale::platform {

std::filesystem::path AppDataFolder() {
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
