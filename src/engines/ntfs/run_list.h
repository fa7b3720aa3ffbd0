#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The runs of a non-resident attribute: where its clusters lie on the volume.
namespace brinvale {

// One run, kept relative as it is encoded: the start cluster of run n is the
// sum of the deltas of runs 0..n. A sparse run (encoded without an offset
// field) has no clusters on the volume: it reads as zeros and its delta is 0.
struct DataRun {
  uint64_t clusterCount = 0;
  int64_t clusterDelta = 0;
  bool sparse = false;

  bool operator==(const DataRun&) const = default;
};

using RunList = std::vector<DataRun>;

// Decodes the run list of the non-resident attribute `attribute` (exactly the
// attribute's bytes, its length as its header gives it) and appends its runs
// to `runs`. Decoding stops at a 0 header byte, at a field size above 8, at a
// run of 0 clusters, at a run whose start cluster would be negative or
// overflow, and at the end of the attribute; what was decoded before stays.
// When `runs` is not empty the first placed run's delta is rebased so that
// summing deltas over the whole list still gives each run's start: the pieces
// of an attribute split over several records concatenate correctly.
// A resident or truncated attribute adds nothing. Returns the runs appended.
size_t DecodeRunList(std::span<const uint8_t> attribute, RunList& runs);

// A run with its absolute start cluster resolved.
struct PlacedRun {
  uint64_t startCluster = 0;  // 0 for a sparse run
  uint64_t clusterCount = 0;
  bool sparse = false;
};

// Resolves every run's start cluster by summing the deltas. Returns false
// (with `placed` holding the runs before it) when a start would be negative
// or overflow, which DecodeRunList never produces.
bool PlaceRuns(std::span<const DataRun> runs, std::vector<PlacedRun>& placed);

// The sum of the deltas of `runs`: the start cluster of the last placed run.
int64_t LastRunStart(std::span<const DataRun> runs);

// The clusters the runs cover, saturating at the top of the 64-bit range.
uint64_t TotalClusters(std::span<const DataRun> runs);

}  // namespace brinvale
