// The verdicts of the quick engine's finds, checked on demand.
#include <new>

#include "engines/ntfs/fast_ntfs_recovery.h"
#include "engines/ntfs/ntfs_file_check.h"

namespace brinvale {

CarvedVerdict CFastNtfsRecovery::CarvedVerdictOf(const ScanRecord& record) {
  if (record.IsFolder() || record.Engine() != EngineCode::kQuickNtfs) return {};
  if (auto kept = m_verdicts.Find(record)) return *kept;
  if (!m_reader.IsOpen()) return {};
  try {
    const CarvedVerdict verdict = CheckNtfsFile(m_volume, m_reader, record);
    m_verdicts.Keep(record, verdict);
    return verdict;
  } catch (const std::bad_alloc&) {
    return {};
  }
}

}  // namespace brinvale
