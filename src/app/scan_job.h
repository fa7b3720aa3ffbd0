#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "app/job_state.h"
#include "app/job_window.h"
#include "app/scan_source.h"
#include "engines/engine_factory.h"
#include "results/scan_history_interface.h"

namespace brinvale {

// Makes the engine for one source through the engine factory (replaceable
// in tests); null when none can be made.
using SourceEngineMaker = std::function<std::unique_ptr<IRidiRedazuvoParse>(
    const ScanSource& source, ScanMode mode, const EngineSetup& setup)>;

// The engine factory's answer for `source`: CreateEngineForPartition with
// the partition's disk, start, length and letter, or CreateEngineForImage
// with the image path and tag.
std::unique_ptr<IRidiRedazuvoParse> MakeSourceEngine(const ScanSource& source, ScanMode mode,
                                                     const EngineSetup& setup);

// What the scan job is given. Everything is borrowed for the job's run.
struct ScanJobSetup {
  std::vector<ScanSource*> sources;  // scanned in this order
  ScanMode mode = ScanMode::kQuick;
  IScanHistory* history = nullptr;  // required
  std::filesystem::path previewFolder;
  MessageLookup messages;        // the "Messages" section
  SourceEngineMaker makeEngine;  // empty: MakeSourceEngine
};

// The scan job, run on the worker thread of the scan window: every source
// in turn gets a new engine, scanned with the window's progress. A quick
// scan writes into a fresh numbered scan-log folder; a full scan of a
// medium with an earlier scan on record asks whether to continue it
// ("MSG1206"). A stop (-9527) ends the list; another engine error goes on
// with the next source. At the end the job is marked finished, 1025 is
// posted and the window closes with code 1; when no engine can be made for
// a source, the window closes with code 3 and nothing is posted.
void RunScanJob(const ScanJobSetup& setup, IJobWindow& window, JobState& state);

// The stage text of the scan window for `source`: "MSG0701" with the drive
// letter, "MSG0702" with the number that stands in for one, or "MSG0703", a
// blank and the image's file name.
std::string ScanStageText(const ScanSource& source, const MessageLookup& messages);

// The scan progress callback's work, for tests and other front ends: the
// window's `progress`, `time`, `percent`, `sectors` and `totalfile`
// controls, under the job's lock. Returns kCancelled once a cancel is set.
int ReportScanProgress(IJobWindow& window, JobState& state, const MessageLookup& messages,
                       int percent, int scale, int secondsLeft, uint64_t currentSector,
                       uint64_t totalSectors, uint64_t filesFound);

}  // namespace brinvale
