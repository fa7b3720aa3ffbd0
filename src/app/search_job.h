#pragma once

#include <string>
#include <vector>

#include "app/job_state.h"
#include "app/job_window.h"
#include "app/scan_source.h"
#include "results/recovery_engine.h"

namespace brinvale {

// The filter a search runs with: the chosen extensions as "*.ext" patterns
// joined by "|", in the order chosen; with none chosen, the five category
// lists (photo, audio, video, document, archive) joined by "|".
std::string SearchFilterText(const std::vector<std::string>& chosenExtensions);

// What the search job is given; borrowed for the job's run.
struct SearchJobSetup {
  std::vector<ScanSource*> sources;  // searched in this order
  std::string filter;                // SearchFilterText
  RecordList* results = nullptr;     // filled with every source's matches, in source order
  MessageLookup messages;            // the "Messages" section
};

// The search job, run on the worker thread of the search window: every
// source's engine is searched with the filter, and the matches of all of
// them gathered in `results`. Without a result list it returns at once;
// with no sources, or at a source without an engine, the window closes with
// code 1 and nothing is posted. Otherwise, after the last source or a stop,
// the job is marked finished, 1026 is posted and the window closes with 1.
void RunSearchJob(const SearchJobSetup& setup, IJobWindow& window, JobState& state);

// The stage text of the search window for `source`: "MSG1201" with the
// drive letter, "MSG1202" with the number that stands in for one, or
// "MSG1203" with the image's file name.
std::string SearchStageText(const ScanSource& source, const MessageLookup& messages);

// The search progress callback's work: `percent` and `progress` under the
// job's lock; kCancelled once a cancel is set.
int ReportSearchProgress(IJobWindow& window, JobState& state, const MessageLookup& messages,
                         int percent);

}  // namespace brinvale
