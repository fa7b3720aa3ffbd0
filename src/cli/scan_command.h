#pragma once

#include <string>
#include <vector>

namespace brinvale::cli {

// `brinvale-cli scan SOURCE [--mode quick|full] [--list] [--types LIST]
// [--recover-to DIR] [--keep-paths] [--json] [--resume|--fresh] [--workers N]`.
// Exit status: 0 success, 1 when some files failed or the scan was
// cancelled, 2 on a usage error or when nothing could be scanned.
int RunScan(const std::vector<std::string>& args);

}  // namespace brinvale::cli
