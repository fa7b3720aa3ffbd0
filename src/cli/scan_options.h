#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/source_spec.h"

namespace brinvale::cli {

enum class ResumeChoice { kAsk, kResume, kFresh };

// The arguments of `brinvale-cli scan`.
struct ScanOptions {
  SourceSpec source;
  bool fullScan = false;
  bool list = false;
  bool json = false;
  // --check: the listing checks every file found through its file system
  // (reading its data); carved files always show their check step's verdict.
  bool check = false;
  bool keepPaths = false;
  bool allowSameMedium = false;  // recover onto the scanned medium all the same
  ResumeChoice resume = ResumeChoice::kAsk;
  // --workers N: the threads a full scan's pass tests sectors on (0: one
  // per core).
  uint32_t workers = 0;
  // --partition N: only partition N (from 1) of an image of a whole disk;
  // 0 for all of them.
  uint32_t partition = 0;
  std::string recoverTo;  // UTF-8; empty: nothing is recovered
  std::string filter;     // Search filter text; never empty
  bool typesGiven = false;
};

// Parses the arguments after "scan". Empty with `error` set on a usage error.
std::optional<ScanOptions> ParseScanOptions(const std::vector<std::string>& args,
                                            std::string& error);

// The search filter for a --types list: extensions ("jpg", ".jpg", "*.jpg")
// and category names (photo, audio, video, document, archive, other),
// separated by commas. Category names add their whole list; "other" adds
// the ".other" switch. Empty with `error` set when nothing usable is named.
std::optional<std::string> FilterForTypes(const std::string& list, std::string& error);

// The filter that selects every found file: the five category lists and
// ".other".
std::string FilterForEverything();

}  // namespace brinvale::cli
