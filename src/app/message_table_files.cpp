#include "app/message_table_files.h"

#include <system_error>

#include "platform/program_folders.h"

namespace brinvale {

namespace fs = std::filesystem;

fs::path FindDataFolder(const fs::path& executableFolder) {
  if (executableFolder.empty()) return {};
  std::error_code ec;
  if (fs::is_regular_file(executableFolder / "config.ini", ec)) return executableFolder;
  const fs::path installed = executableFolder.parent_path() / "share" / "brinvale";
  if (fs::is_regular_file(installed / "config.ini", ec)) return installed;
  return executableFolder;
}

fs::path UserSettingsFile(const fs::path& userConfigFolder) {
  if (userConfigFolder.empty()) return {};
  return userConfigFolder / "OrlentaBrinvaleRecovery" / "config.ini";
}

MessageTableFiles DefaultMessageTableFiles() {
  return {FindDataFolder(platform::ExecutableFolder()),
          UserSettingsFile(platform::UserConfigFolder())};
}

}  // namespace brinvale
