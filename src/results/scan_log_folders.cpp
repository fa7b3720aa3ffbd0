#include "results/scan_log_folders.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "common/error_codes.h"
#include "platform/folders.h"
#include "platform/system_error.h"
#include "platform/text.h"

namespace brinvale {

namespace fs = std::filesystem;

fs::path ScanLogBaseFolder() {
  return platform::AppDataFolder() / "OrlentaBrinvaleRecovery" / "ScanLog";
}

int FindScanLogFile(const fs::path& folder, std::string_view prefix, std::string& name) {
  std::error_code ec;
  std::vector<std::string> names;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string n = platform::PathToUtf8(it->path().filename());
    if (n.empty() || n[0] == '.') continue;
    names.push_back(std::move(n));
  }
  if (ec) return platform::SystemErrorFromErrorCode(ec);
  std::sort(names.begin(), names.end());
  for (const auto& n : names) {
    if (n.find(prefix) != std::string::npos) {
      name = n;
      return kOk;
    }
  }
  return kErrFileNotFound;
}

}  // namespace brinvale
