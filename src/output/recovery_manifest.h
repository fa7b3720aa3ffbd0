#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "output/recovery_job.h"

// The list a recovery leaves in its target folder: one row per file it
// wrote or failed to write, with the file's SHA-256, where it was found and
// how its copy ended. Two forms with the same rows: "recovery.csv"
// (RFC 4180, UTF-8) and "recovery.json".
namespace brinvale {

// The condition verdict of a found file ("complete", "damaged",
// "unchecked"), or "" where none exists.
using ConditionOf = std::function<std::string(const ScanRecord&)>;

struct ManifestFiles {
  std::filesystem::path csv;
  std::filesystem::path json;
};

// The condition a manifest lists for `record`, asked of `engine`: its
// verdict ("complete", "damaged: <why>" or "unchecked"), for a file found
// by its content as for one found through its file system (checked on
// demand over the bytes recovery reads); "" for folders.
std::string ManifestCondition(IRidiRedazuvoParse& engine, const ScanRecord& record);

// The engine that found a record, as the manifest names it: "quick FAT",
// "quick NTFS", "formatted FAT", "formatted NTFS" or "content".
std::string EngineName(const ScanRecord& record);

// Writes both forms for `report` into `folder`. A folder that holds a
// manifest already gets "recovery(1).csv" and "recovery(1).json", and so
// on: one number for both. Paths in the rows are relative to `folder`.
// Fills `written` with the names used. Both are written whatever becomes
// of the other. Returns 0 or the system error of the first of them (CSV,
// then JSON) that could not be written.
int WriteRecoveryManifest(const std::filesystem::path& folder, const RecoveryReport& report,
                          ManifestFiles& written, const ConditionOf& conditionOf = {});

}  // namespace brinvale
