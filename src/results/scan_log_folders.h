#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace brinvale {

// The per-user folder that holds the numbered scan-log folders, the scan
// history and the preview files: "OrlentaBrinvaleRecovery/ScanLog" in the
// application-data folder.
std::filesystem::path ScanLogBaseFolder();

// The first file name (in name order) in `folder` that contains `prefix`,
// skipping names that begin with ".". Returns 0, 2 when none matches, or the
// error of listing the folder.
int FindScanLogFile(const std::filesystem::path& folder, std::string_view prefix,
                    std::string& name);

}  // namespace brinvale
