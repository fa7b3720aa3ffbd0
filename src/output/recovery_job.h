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

// The path a found file is written to in a recovery by category:
// `targetFolder`/<category>/<name>, the name made safe, fitted and unique
// (ChildTargetPath), and its category folder made. `separators` is
// CountSeparators of `targetFolder`. When the name cannot be placed there
// or the folder cannot be made, `error` is set and the path returned is
// where the file would have gone, for the report.
std::filesystem::path PrepareCategoryTarget(const ScanRecord& record,
                                            const std::filesystem::path& targetFolder,
                                            int separators, int& error);

// The number of separators in `targetFolder`'s own path, as the engines
// take it.
int TargetFolderSeparators(const std::filesystem::path& targetFolder);

// engine.RecoverRecord, for an engine that may throw: a throw gives the
// system error of what was thrown, and sets `threw` when given.
int RecoverRecordGuarded(IRidiRedazuvoParse& engine, const ScanRecord& record,
                         const std::filesystem::path& target, int separators,
                         bool* threw = nullptr);

// Recreates the found folder tree under `targetFolder`: every top-level
// folder is recovered whole through the engine, every top-level file beside
// them.
void RecoverKeepingPaths(IRidiRedazuvoParse& engine, const std::filesystem::path& targetFolder,
                         RecoveryReport& report, const std::atomic<bool>* cancel = nullptr);

}  // namespace brinvale
