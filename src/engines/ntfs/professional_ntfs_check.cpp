// The verdicts of the formatted engine's finds, checked on demand through
// the volume each record is read back by.
#include <new>

#include "engines/ntfs/ntfs_file_check.h"
#include "engines/ntfs/professional_ntfs_recovery.h"

namespace brinvale {

CarvedVerdict CProfessionalNtfsRecovery::CarvedVerdictOf(const ScanRecord& record) {
  if (record.IsFolder() || record.Engine() != kEngineCode) return {};
  if (auto kept = m_verdicts.Find(record)) return *kept;
  if (!m_reader.IsOpen()) return {};
  try {
    const CarvedVerdict verdict = CheckNtfsFile(VolumeFor(record), m_reader, record);
    m_verdicts.Keep(record, verdict);
    return verdict;
  } catch (const std::bad_alloc&) {
    return {};
  }
}

}  // namespace brinvale
