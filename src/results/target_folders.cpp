#include "results/target_folders.h"

#include "common/error_codes.h"
#include "platform/folders.h"
#include "results/write_behind.h"

namespace brinvale {

int CreateTargetFolders(const std::filesystem::path& folder) {
  WriteBehind* behind = CurrentWriteBehind();
  if (behind != nullptr && !folder.empty() && behind->KnownFolder(folder)) return kOk;
  bool made = false;
  const int rc = platform::CreateFolders(folder, made);
  if (behind != nullptr && !folder.empty()) {
    // Noted whatever came of it: a folder on the way may have been made.
    for (std::filesystem::path at = folder; at.has_relative_path(); at = at.parent_path()) {
      behind->NoteTaken(at);
      if (rc == kOk) behind->NoteKnownFolder(at);
    }
    if (rc == kOk && made) behind->NoteFreshFolder(folder);
  }
  return rc;
}

}  // namespace brinvale
