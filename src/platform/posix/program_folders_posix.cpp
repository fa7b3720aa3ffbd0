#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/caller_rights.h"
#include "platform/program_folders.h"

namespace brinvale::platform {

std::filesystem::path ExecutableFolder() {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t got = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (got < 0) return {};
    // readlink does not say whether it cut the name: only a reply shorter
    // than the buffer is known to be whole.
    if (size_t(got) < buffer.size()) {
      buffer.resize(size_t(got));
      return std::filesystem::path(buffer).parent_path();
    }
    if (buffer.size() >= 65536) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::filesystem::path UserConfigFolder() {
  // Started with disk rights through pkexec, whose cleared environment
  // names root's folders: the folders stay those of the user who started it.
  if (const std::optional<std::filesystem::path> caller = CallerHome())
    return *caller / ".config";
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (!home || !home[0]) {
    if (const passwd* pw = getpwuid(getuid())) home = pw->pw_dir;
  }
  if (!home || !home[0]) return {};
  return std::filesystem::path(home) / ".config";
}

bool IsFolderWritable(const std::filesystem::path& folder) {
  struct stat st {};
  if (folder.empty() || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  // Creating a file needs write and search rights on the folder.
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace brinvale::platform
