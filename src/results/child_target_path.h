#pragma once

#include <filesystem>
#include <string_view>

#include "results/target_paths.h"

// Where a found file or folder is written inside the folder that receives it.
namespace brinvale {

enum class TargetKind { kFile, kFolder };

// The folder that marks where a path too long for the target was cut.
inline constexpr std::string_view kCutFolderName = "(cut)";

// The path that the found item `foundName` (UTF-8) gets inside `folder`:
// the name made safe (SanitizeFileName), cut to the name and path lengths
// of `system` keeping its extension, and made unique (MakeUniquePath).
// `rootSeparators` is CountSeparators of the recovery folder that `folder`
// lies in; that folder's own part of the path is never changed. When
// `folder` leaves too little room for the name, the folders below the
// recovery folder are cut from the top: the deepest ones are kept, below a
// folder named "(cut)" in the recovery folder, which may not exist yet
// (create the result's parent first). Empty when even that leaves no room:
// the recovery folder's own path is too long for the target.
std::filesystem::path ChildTargetPath(const std::filesystem::path& folder,
                                      std::string_view foundName, int rootSeparators,
                                      TargetKind kind, TargetSystem system = TargetSystem::kHost);

}  // namespace brinvale
