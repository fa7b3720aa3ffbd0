// The verdicts of the formatted engine's finds, checked on demand through
// the volume each record is read back by.
#include "engines/ntfs/ntfs_file_check.h"
#include "engines/ntfs/professional_ntfs_recovery.h"

namespace brinvale {

CarvedVerdict CProfessionalNtfsRecovery::CarvedVerdictOf(const ScanRecord& record) {
  if (record.IsFolder() || record.Engine() != kEngineCode) return {};
  return m_verdicts.FindOrCheck(record, m_reader.IsOpen(),
                                [&] { return CheckNtfsFile(VolumeFor(record), m_reader, record); });
}

}  // namespace brinvale
