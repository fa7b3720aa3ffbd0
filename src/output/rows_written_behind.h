#pragma once

#include <cstddef>
#include <filesystem>
#include <unordered_map>
#include <vector>

#include "output/recovery_job.h"
#include "results/write_behind.h"

// The report rows of recovered files that a write-behind is still writing.
// The engine reports a small file done once it has read it; its row then
// says how the file ended only when the write-behind has written it.
namespace brinvale {

class RowsWrittenBehind {
 public:
  // Whether the file an engine just reported done at `target` is still to
  // be written by this thread's write-behind: its row must wait (Owe).
  static bool StillWriting(const std::filesystem::path& target);

  // Row `row` of the report says how the file at `target` ended once its
  // write has.
  void Owe(size_t row, const std::filesystem::path& target);

  // Settles the rows of the files in `ended`, found by the path each was
  // given. A file written whole gives its row where it is (a numbered name
  // when its path was taken meanwhile) and the size and SHA-256 of its
  // bytes. A write that failed gives its row the error and, as every
  // unfinished copy, the file it created the name that says so
  // (SettleUnfinishedFile); a failed file that no row waited for gets a row
  // of its own, so no failure goes unreported. Returns the rows settled or
  // added, in the order of `ended`.
  std::vector<size_t> Settle(RecoveryReport& report, std::vector<EndedWrite> ended);

  bool Empty() const { return m_rows.empty(); }

 private:
  std::unordered_map<std::filesystem::path::string_type, size_t> m_rows;
};

}  // namespace brinvale
