#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "app/job_state.h"
#include "app/job_window.h"
#include "app/scan_source.h"
#include "output/recovery_job.h"
#include "output/recovery_manifest.h"

namespace brinvale {

// The colour of a failed file's row in the recovery window's detail list.
inline constexpr uint32_t kFailedRowColor = 0xFFFF0000;

// What the recovery job is given; borrowed for the job's run.
struct RecoveryJobSetup {
  RecordList selection;              // the marked files, in the selection's order
  std::vector<ScanSource*> sources;  // each record finds its engine here by its source key
  std::filesystem::path targetFolder;
  MessageLookup messages;  // the "Messages" section
  // Each file into the folders it was found in below `targetFolder`, in
  // place of the category folders.
  bool asFound = false;
  // The conditions the manifest lists; by default each file's engine is
  // asked (ManifestCondition).
  ConditionOf conditionOf = {};
};

// The recovery window's counts: files that reached 100 percent or failed,
// the failed ones among them, and the selection's size.
struct RecoveryCounts {
  uint32_t processed = 0;
  uint32_t failed = 0;
  uint32_t total = 0;
};

// The recovery job, run on the recovery window's worker: every selected
// file is copied by the engine that found it into
// `targetFolder`/<category>/<name> (or below the folders it was found in,
// `asFound`), each finished file listed in
// `DetailList` (a failure at the top in red with the system's text for its
// error, a success at the bottom with "Success"), with the counts in
// `recovered`. A file whose engine is gone, whose target cannot be made or
// whose copy fails before it is reported is listed as failed too; a copy
// that throws counts as failed without a row. A cancel stops the job at
// once: it is marked finished and the window is left for the cancelling
// thread to close. Otherwise `FinishBtn` is shown, `CancelBtn` hidden and
// the job marked finished. Whether finished or cancelled, the manifest of
// what was written goes into `targetFolder` before the job is marked
// finished. Returns every listed file, in the order they ended, and
// kCancelled as its result after a cancel.
RecoveryReport RunRecoveryWindowJob(const RecoveryJobSetup& setup, IJobWindow& window,
                                    JobState& state);

// The copy progress callback's work, under the job's lock: kCancelled once
// a cancel is set; at 100 percent the file's row and counts, unless
// `listEnded` is false (the caller lists the file later); then `progress`,
// `current`, `percent` and `recovered`.
int ReportCopyProgress(IJobWindow& window, JobState& state, const MessageLookup& messages,
                       RecoveryCounts& counts, int percent, int scale, int error,
                       const std::filesystem::path& current, bool listEnded = true);

}  // namespace brinvale
