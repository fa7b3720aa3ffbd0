#include "engines/ntfs/ntfs_file_check.h"

#include <utility>

#include "common/error_codes.h"
#include "deepscan/carved_bytes.h"
#include "deepscan/found_file_check.h"
#include "engines/ntfs/ntfs_data_extents.h"

namespace brinvale {

CarvedVerdict CheckNtfsFile(const NtfsVolume& volume, SectorReader& reader,
                            const ScanRecord& record) {
  if (!HasFoundFileCheck(record)) return {};
  NtfsFileData data;
  if (NtfsDataExtents(volume, reader, record, data) != kOk)
    return DamagedVerdict(CarvedFault::kUnreadable);
  if (data.resident) {
    CarvedBytes file(data.value);
    return CheckFoundFile(record, file);
  }
  return CheckFoundFileOn(record, reader, volume.bytesPerSector, std::move(data.extents));
}

}  // namespace brinvale
