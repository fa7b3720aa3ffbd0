#pragma once

#include <filesystem>

#include "results/target_paths.h"

// What becomes of a recovered file whose copy did not finish.
namespace brinvale {

// Settles the file at `target` after a copy into it failed or was cancelled
// and its handle was closed: an empty file is removed; one that holds data
// is renamed to "name.partial.ext" (made unique, and cut to the target's
// lengths), so that it is never taken for a recovered file. Returns the
// path that holds the data now: the new name, or `target` when the file was
// removed or could not be renamed.
std::filesystem::path SettleUnfinishedFile(const std::filesystem::path& target,
                                           TargetSystem system = TargetSystem::kHost);

}  // namespace brinvale
