#pragma once

#include <filesystem>

namespace brinvale {

// Creates `folder` and every missing folder above it, for the files a
// recovery writes. With the recovery's write-behind in place it notes each
// folder on the way as taken, and `folder` as made by the recovery when
// this call made it: the unique-name probe then knows what is in it
// (WriteBehind::SurelyFree). A folder it made or found once is not asked
// of the target again in that recovery. Returns 0 or the system error.
int CreateTargetFolders(const std::filesystem::path& folder);

}  // namespace brinvale
