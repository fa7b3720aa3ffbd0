#include "output/rows_written_behind.h"

#include "common/error_codes.h"
#include "results/unfinished_file.h"

namespace brinvale {

bool RowsWrittenBehind::StillWriting(const std::filesystem::path& target) {
  const WriteBehind* behind = CurrentWriteBehind();
  return behind != nullptr && behind->IsClaimed(target);
}

void RowsWrittenBehind::Owe(size_t row, const std::filesystem::path& target) {
  m_rows.insert_or_assign(target.native(), row);
}

std::vector<size_t> RowsWrittenBehind::Settle(RecoveryReport& report,
                                              std::vector<EndedWrite> ended) {
  std::vector<size_t> settled;
  settled.reserve(ended.size());
  for (EndedWrite& write : ended) {
    const auto owed = m_rows.find(write.claimed.native());
    const bool hasRow = owed != m_rows.end() && owed->second < report.files.size();
    const size_t row = hasRow ? owed->second : report.files.size();
    if (owed != m_rows.end()) m_rows.erase(owed);
    if (write.error == kOk) {
      // Nothing waited for a file written whole: the engine did not report
      // it done, and the report stays as the engine made it.
      if (!hasRow) continue;
      // Something took its path meanwhile: it is under a numbered name.
      report.files[row].target = std::move(write.target);
      if (write.written) report.files[row].written = std::move(write.written);
      settled.push_back(row);
      continue;
    }
    // Only a file this write created is its own to rename or remove.
    const std::filesystem::path kept =
        write.created ? SettleUnfinishedFile(write.target) : write.target;
    if (!hasRow) report.files.push_back({kept, write.error});
    RecoveredFile& file = report.files[row];
    file.target = kept;
    file.error = write.error;
    file.written.reset();
    settled.push_back(row);
  }
  return settled;
}

}  // namespace brinvale
