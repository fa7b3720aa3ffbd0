#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "results/recovery_engine.h"
#include "results/written_files.h"

// Recovering found files into a folder the user chose.
namespace brinvale {

// The found file a recovered file came from: its record and its folder
// path on the medium (UTF-8, as the engine gives it).
struct FoundOrigin {
  ScanRecord record;
  std::string mediumPath;
};

// How one file ended: its target path and 0 or the system error code, the
// found file it came from when the engine told, and the size and SHA-256
// of the bytes the engine wrote into it when it noted them.
struct RecoveredFile {
  std::filesystem::path target;
  int error = 0;
  std::optional<FoundOrigin> origin = std::nullopt;
  std::optional<WrittenDigest> written = std::nullopt;
};

// A report row for a file the engine reports as ended now: its origin is
// the record the engine is copying on this thread, else `fallback`.
RecoveredFile RecoveredFileOf(const std::filesystem::path& target, int error,
                              const ScanRecord* fallback = nullptr);

struct RecoveryReport {
  std::vector<RecoveredFile> files;  // failures and successes, in order
  int result = 0;                    // 0, or kCancelled when stopped
  // The manifests written ("recovery.csv" paths), and the error of one that
  // could not be.
  std::vector<std::filesystem::path> manifests;
  int manifestError = 0;

  size_t Succeeded() const;
  size_t Failed() const;
};

// Gives the rows from `from` on that have an origin their folder path on
// the medium, through `engine`. Called after the engine's copy returned,
// never from inside its callback.
void NameOrigins(IRidiRedazuvoParse& engine, RecoveryReport& report, size_t from);

// Gives the rows from `from` on that succeeded the digest their engine
// noted on this thread as it wrote them (TakeWrittenFile). Called after
// the engine's copy returned, as NameOrigins.
void TakeWrittenDigests(RecoveryReport& report, size_t from);

// Recovers each of `records` through `engine` into
// `targetFolder`/<category>/<name>: the category folder by the name's
// extension ("photo", "audio", "video", "document", "archive", "others"),
// the name made safe for the target system, and a number added when the
// path exists already. `cancel`, when given and set, stops after the file
// being copied. Borrows everything; fills `report`. The manifest of what
// was written is the caller's (WriteRecoveryManifest).
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

// The target folders a recovery as found made so far, by the found
// folder path (UTF-8, "\\" between names) they stand for.
using FoundFolderTargets = std::map<std::string, std::filesystem::path>;

// The path a found file is written to in a recovery as found:
// `targetFolder`/<its folders on the medium>/<name>, each folder name made
// safe and fitted (ChildTargetPath) the first time it is met and the same
// folder used for every later file found in it (`folders` remembers them),
// the file's name made unique, and its folders made. Otherwise as
// PrepareCategoryTarget.
std::filesystem::path PrepareFoundFolderTarget(IRidiRedazuvoParse& engine,
                                               const ScanRecord& record,
                                               const std::filesystem::path& targetFolder,
                                               int separators, FoundFolderTargets& folders,
                                               int& error);

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
