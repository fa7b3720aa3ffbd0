#pragma once

#include <string>
#include <vector>

namespace brinvale::cli {

// `brinvale-cli verify DIR [MANIFEST]`: checks every file the recovery
// manifest lists (the newest "recovery*.csv" in DIR when none is named) by
// size and SHA-256, and prints each one that differs or is gone. Exit
// status 0 when all match; 1 when one differs; 2 on a usage error or a
// manifest that cannot be read.
int RunVerify(const std::vector<std::string>& args);

}  // namespace brinvale::cli
