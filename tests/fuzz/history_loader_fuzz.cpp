// The scan history file parser on arbitrary bytes, with a round trip of
// what it accepted.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "results/scan_history_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brinvale;
  HistoryContents parsed = ParseHistoryBytes(std::span<const uint8_t>(data, size));
  if (parsed.entries.size() > hist::kMaxEntries) std::abort();
  // Entries whose paths fit their fields survive a write and a re-read.
  for (auto& e : parsed.entries) {
    if (e.folder.size() >= hist::kPathUnits) e.folder.resize(hist::kPathUnits - 1);
    if (e.imagePath.size() >= hist::kPathUnits) e.imagePath.resize(hist::kPathUnits - 1);
  }
  auto bytes = SerializeHistory(parsed);
  HistoryContents again = ParseHistoryBytes(bytes);
  if (again.counter != parsed.counter || again.entries.size() != parsed.entries.size())
    std::abort();
  for (size_t i = 0; i < again.entries.size(); ++i) {
    // A lone high surrogate at the cut is dropped on writing; compare the rest.
    auto a = again.entries[i], b = parsed.entries[i];
    if (a.diskNumber != b.diskNumber || a.resume != b.resume ||
        a.partitionStamp != b.partitionStamp)
      std::abort();
    if (b.folder.compare(0, a.folder.size(), a.folder) != 0) std::abort();
  }
  return 0;
}
