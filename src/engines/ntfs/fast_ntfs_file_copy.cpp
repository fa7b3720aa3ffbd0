// Copying found files out of the volume: recovery to a target folder and
// extraction for a preview.
#include <new>

#include "common/error_codes.h"
#include "engines/ntfs/fast_ntfs_recovery.h"
#include "engines/ntfs/ntfs_file_copy.h"
#include "platform/system_error.h"
#include "results/scan_log_folders.h"

namespace brinvale {

int CFastNtfsRecovery::CopyToFile(const ScanRecord& record, const std::filesystem::path& target) {
  return CopyNtfsFileToPath(m_volume, m_reader, record, target, m_copyProgress, m_user);
}

int CFastNtfsRecovery::RecoverRecord(const ScanRecord& record, const std::filesystem::path& target,
                                     int separators) {
  try {
    return RecoverNtfsRecord(
        *this, m_store.get(), record, target, separators,
        [this](const ScanRecord& child, const std::filesystem::path& path) {
          return CopyToFile(child, path);
        },
        [this](const std::filesystem::path& path, int error) {
          return m_copyProgress != nullptr ? m_copyProgress(m_user, 100, 100, error, path) : kOk;
        });
  } catch (...) {
    return platform::SystemErrorFromCurrentException();
  }
}

int CFastNtfsRecovery::ExtractRecord(const ScanRecord& record, std::filesystem::path& path,
                                     uint8_t* buffer, uint64_t& size,
                                     ExtractProgressCallback callback, void* user) {
  try {
    return ExtractNtfsFile(m_volume, m_reader, record,
                           m_previewFolder.empty() ? ScanLogBaseFolder() : m_previewFolder, path,
                           buffer, size, callback, user);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

bool CFastNtfsRecovery::FirstDataSector(const ScanRecord& record, uint64_t& sector) {
  return NtfsFirstDataSector(m_volume, m_reader, record, sector);
}

}  // namespace brinvale
