#include "engines/ntfs/fast_ntfs_recovery.h"

#include <new>

#include "common/error_codes.h"
#include "engines/ntfs/ntfs_result_tree.h"
#include "platform/clock.h"
#include "platform/disk.h"
#include "platform/file.h"
#include "platform/text.h"
#include "results/scan_log_folders.h"
#include "results/scan_log_name.h"

namespace brinvale {

CFastNtfsRecovery::CFastNtfsRecovery() = default;
CFastNtfsRecovery::~CFastNtfsRecovery() = default;

int CFastNtfsRecovery::FinishOpen(uint32_t mediumBytesPerSector, uint64_t start, uint64_t count,
                                  char16_t letter) {
  // A boot sector whose fields this engine cannot read by (a sector size
  // or cluster size outside NTFS's, a start off the volume's own sectors)
  // is no NTFS volume it can scan.
  if (int rc = ReadNtfsBootSector(m_reader, start, count, mediumBytesPerSector, letter, m_volume);
      rc != kOk)
    return m_openResult = rc == kErrInvalidParameter ? kErrUnrecognizedVolume : rc;
  // A missing MFT run list is not an open failure (the volume may still be
  // browsed and its free space mapped), but a scan of it fails.
  m_mftRunsFound = ReadMftRunList(m_volume, m_reader) == kOk;
  try {
    m_recordBuffer.assign(m_volume.recordSize, 0);
  } catch (const std::bad_alloc&) {
    return m_openResult = kErrOutOfMemory;
  }
  return m_openResult = kOk;
}

int CFastNtfsRecovery::OpenImage(const std::filesystem::path& imagePath, char16_t sourceKey) {
  m_volume = NtfsVolume{};
  m_volume.driveLetter = sourceKey;
  m_mftRunsFound = false;
  if (int rc = OpenImageReader(m_reader, imagePath); rc != kOk) return m_openResult = rc;
  return FinishOpen(512, 0, m_reader.totalSectors, sourceKey);
}

int CFastNtfsRecovery::OpenPartition(int diskNumber, uint64_t start, uint64_t count,
                                     char16_t driveLetter) {
  m_volume = NtfsVolume{};
  m_volume.driveLetter = driveLetter;
  m_mftRunsFound = false;
  uint32_t bytesPerSector = 512;
  {
    platform::UniqueHandle disk;
    if (platform::OpenDisk(diskNumber, disk) == kOk) bytesPerSector = QueryBytesPerSector(disk);
  }
  if (int rc = OpenDiskReader(m_reader, diskNumber); rc != kOk && !m_reader.IsOpen())
    return m_openResult = rc;
  return FinishOpen(bytesPerSector, start, count, driveLetter);
}

int CFastNtfsRecovery::OpenImagePartition(const std::filesystem::path& imagePath, uint64_t start,
                                          uint64_t count, char16_t sourceKey) {
  m_volume = NtfsVolume{};
  m_volume.driveLetter = sourceKey;
  m_mftRunsFound = false;
  if (int rc = OpenImageReader(m_reader, imagePath); rc != kOk) return m_openResult = rc;
  return FinishOpen(512, start, count, sourceKey);
}

int CFastNtfsRecovery::OpenReader(SectorReader reader, uint64_t startSector, uint64_t sectorCount,
                                  uint32_t mediumBytesPerSector, char16_t sourceKey) {
  m_volume = NtfsVolume{};
  m_volume.driveLetter = sourceKey;
  m_mftRunsFound = false;
  m_reader = std::move(reader);
  if (!m_reader.IsOpen()) return m_openResult = kErrInvalidHandle;
  return FinishOpen(mediumBytesPerSector, startSector, sectorCount, sourceKey);
}

int CFastNtfsRecovery::SetProgressCallback(ScanProgressCallback scan, CopyProgressCallback copy,
                                           void* user, int scale) {
  m_progress = scan;
  m_copyProgress = copy;
  m_user = user;
  m_scale = scale;
  return kOk;
}

int CFastNtfsRecovery::SetSearchCallback(SearchProgressCallback callback, void* user) {
  m_searchCallback = callback;
  m_searchUser = user;
  if (m_store) m_store->SetSearchCallback(callback, user);
  return kOk;
}

void CFastNtfsRecovery::ResetScanState() {
  m_folderList.clear();
  m_folders.clear();
  m_store = std::make_unique<ScanLogStore>();
  m_store->SetSearchCallback(m_searchCallback, m_searchUser);
}

int CFastNtfsRecovery::EnsureStore() {
  if (!m_store || !m_store->IsOpen()) return kErrInvalidParameter;
  return kOk;
}

int CFastNtfsRecovery::Scan(const std::filesystem::path* existingLog) {
  try {
    ResetScanState();
    std::filesystem::path folder = m_logFolder;
    if (existingLog != nullptr) {
      if (existingLog->has_parent_path()) folder = existingLog->parent_path();
      return m_store->OpenLog(folder, platform::PathToUtf8(existingLog->filename()));
    }
    // A volume the engine could not open, or whose MFT it cannot find, has
    // nothing to be read: that is a failure, never an empty result.
    if (m_openResult != kOk) return m_openResult;
    if (!m_mftRunsFound) return kErrUnrecognizedVolume;
    const std::string base =
        ScanLogBaseName(kQuickLogPrefix, m_volume.startSector, platform::LocalTime());
    // A scan starts a log of its own: a log of the same name (an earlier scan
    // of the same volume in the same minute) is replaced, not added to.
    for (const char* suffix : {"", "_Relation", "_DirInfo"}) {
      std::error_code ec;
      std::filesystem::remove(folder / platform::PathFromUtf8(base + suffix), ec);
    }
    if (int rc = m_store->OpenLog(folder, base); rc != kOk) return rc;
    if (!m_sizing) m_sizing = std::make_unique<SizingContext>();

    m_totalSectors = 0;
    for (const DataRun& run : m_volume.mftRuns) {
      uint64_t sectors = 0;
      if (__builtin_mul_overflow(run.clusterCount, uint64_t(m_volume.sectorsPerCluster),
                                 &sectors) ||
          __builtin_add_overflow(m_totalSectors, sectors, &m_totalSectors))
        m_totalSectors = UINT64_MAX;
    }
    m_processed = 0;
    m_startTick = m_lastEstimateTick = platform::TickCountMs();
    m_secondsLeft = -1;

    int rc = RecordPass();
    if (rc == kOk) rc = FolderPass();
    const int flushed = m_store->FlushLog();
    if (rc != kOk) return rc;
    if (flushed != kOk) return flushed;
    return ReportProgress(100);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int CFastNtfsRecovery::ReportProgress(int percent) {
  if (m_progress == nullptr) return kOk;
  return m_progress(m_user, percent, m_scale, m_secondsLeft, 0, 0, 0, 0);
}

int CFastNtfsRecovery::ListChildren(const ScanRecord* parent, uint32_t depth, RecordList& out) {
  if (int rc = EnsureStore(); rc != kOk) return rc;
  return ListNtfsChildren(*m_store, kRootRecord, parent, depth, out);
}

int CFastNtfsRecovery::CountFiles(const ScanRecord* parent, uint32_t depth, uint32_t& count) {
  count = 0;
  if (int rc = EnsureStore(); rc != kOk) return rc;
  return CountNtfsFiles(*m_store, kRootRecord, parent, depth, count);
}

uint64_t CFastNtfsRecovery::GetRecordCount() { return m_store ? m_store->RecordCount() : 0; }

int CFastNtfsRecovery::GetRecordPath(const ScanRecord& record, std::string& path, size_t maxChars) {
  if (int rc = EnsureStore(); rc != kOk) return rc;
  return m_store->GetRecordPath(record, path, maxChars);
}

int CFastNtfsRecovery::Search(const std::string& text, RecordList& out) {
  if (int rc = EnsureStore(); rc != kOk) return rc;
  return m_store->Search(text, out);
}

}  // namespace brinvale
