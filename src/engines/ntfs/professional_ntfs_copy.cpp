// Reading found files back: every file is read from its own record, in the
// file system whose start and cluster size its log record carries.
#include <new>

#include "common/error_codes.h"
#include "engines/ntfs/ntfs_file_copy.h"
#include "engines/ntfs/professional_ntfs_state.h"
#include "engines/ntfs/record_to_sector.h"
#include "platform/system_error.h"
#include "results/scan_log_folders.h"

namespace brinvale {

NtfsVolume CProfessionalNtfsRecovery::VolumeFor(const ScanRecord& record) {
  NtfsVolume volume = m_volume;
  volume.startSector = record.PartitionStart();
  const uint32_t bps = volume.bytesPerSector;
  volume.sectorsPerCluster =
      bps != 0 && record.ClusterBytes() % bps == 0 && record.ClusterBytes() != 0
          ? record.ClusterBytes() / bps
          : m_sectorsPerCluster;
  // Extension records are found through the MFT that places this record
  // where it was found, when one is known.
  volume.mftRuns.clear();
  if (m_state) {
    for (const auto& [key, index] : m_state->mftViews) {
      const ProNtfsView& view = m_state->views[index];
      uint64_t at = 0;
      if (RecordToSector(view.locator, record.EntryKey(), at) == kOk &&
          at == record.MetadataSector()) {
        volume.mftRuns = view.locator.mftRuns;
        volume.startSector = view.locator.startSector;
        volume.sectorsPerCluster = view.locator.sectorsPerCluster;
        break;
      }
    }
  }
  return volume;
}

int CProfessionalNtfsRecovery::CopyToFile(const ScanRecord& record,
                                          const std::filesystem::path& target) {
  return CopyNtfsFileToPath(VolumeFor(record), m_reader, record, target, m_copyCallback, m_user);
}

int CProfessionalNtfsRecovery::RecoverRecord(const ScanRecord& record,
                                             const std::filesystem::path& target, int separators) {
  try {
    return RecoverNtfsRecord(
        *this, m_store.get(), record, target, separators,
        [this](const ScanRecord& child, const std::filesystem::path& path) {
          return CopyToFile(child, path);
        },
        [this](const std::filesystem::path& path, int error) {
          return m_copyCallback != nullptr ? m_copyCallback(m_user, 100, 100, error, path) : kOk;
        });
  } catch (...) {
    return platform::SystemErrorFromCurrentException();
  }
}

int CProfessionalNtfsRecovery::ExtractRecord(const ScanRecord& record, std::filesystem::path& path,
                                             uint8_t* buffer, uint64_t& size,
                                             ExtractProgressCallback callback, void* user) {
  try {
    return ExtractNtfsFile(VolumeFor(record), m_reader, record,
                           m_previewFolder.empty() ? ScanLogBaseFolder() : m_previewFolder, path,
                           buffer, size, callback, user);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

bool CProfessionalNtfsRecovery::FirstDataSector(const ScanRecord& record, uint64_t& sector) {
  try {
    return NtfsFirstDataSector(VolumeFor(record), m_reader, record, sector);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace brinvale
