#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "results/recovery_engine.h"

// Recovering found files into a folder the user chose.
namespace brinvale {

// How one file ended: its target path and 0 or the system error code.
struct RecoveredFile {
  std::filesystem::path target;
  int error = 0;
};

struct RecoveryReport {
  std::vector<RecoveredFile> files;  // failures and successes, in order
  int result = 0;                    // 0, or kCancelled when stopped

  size_t Succeeded() const;
  size_t Failed() const;
};

// Recovers each of `records` through `engine` into
// `targetFolder`/<category>/<name>: the category folder by the name's
// extension ("photo", "audio", "video", "document", "archive", "others"),
// the name made safe for the target system, and a number added when the
// path exists already. `cancel`, when given and set, stops after the file
// being copied. Borrows everything; fills `report`.
void RecoverIntoCategories(IRidiRedazuvoParse& engine, const RecordList& records,
                           const std::filesystem::path& targetFolder, RecoveryReport& report,
                           const std::atomic<bool>* cancel = nullptr);

// Recreates the found folder tree under `targetFolder`: every top-level
// folder is recovered whole through the engine, every top-level file beside
// them.
void RecoverKeepingPaths(IRidiRedazuvoParse& engine, const std::filesystem::path& targetFolder,
                         RecoveryReport& report, const std::atomic<bool>* cancel = nullptr);

}  // namespace brinvale
