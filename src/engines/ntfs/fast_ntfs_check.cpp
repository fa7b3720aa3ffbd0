// The verdicts of the quick engine's finds, checked on demand.
#include "engines/ntfs/fast_ntfs_recovery.h"
#include "engines/ntfs/ntfs_file_check.h"

namespace brinvale {

CarvedVerdict CFastNtfsRecovery::CarvedVerdictOf(const ScanRecord& record) {
  if (record.IsFolder() || record.Engine() != EngineCode::kQuickNtfs) return {};
  return m_verdicts.FindOrCheck(record, m_reader.IsOpen(),
                                [&] { return CheckNtfsFile(m_volume, m_reader, record); });
}

}  // namespace brinvale
