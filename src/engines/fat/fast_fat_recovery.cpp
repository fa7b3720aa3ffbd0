#include "engines/fat/fast_fat_recovery.h"

#include <algorithm>
#include <array>

#include "common/error_codes.h"
#include "deepscan/sizing_context.h"
#include "engines/fat/fat_disk_reader.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "results/scan_log_folders.h"
#include "results/scan_log_name.h"

namespace brinvale {
namespace {

constexpr int kErrUnrecognizedVolume = 1005;  // ERROR_UNRECOGNIZED_VOLUME
constexpr size_t kBootBytes = 4096;
constexpr size_t kBootMinimum = 512;

// Reads up to `length` bytes at `offset`, as many as arrive.
int ReadUpTo(ByteSource& source, uint64_t offset, uint8_t* out, size_t length, size_t& done) {
  done = 0;
  while (done < length) {
    size_t got = 0;
    if (int rc = source.ReadAt(offset + done, out + done, length - done, got); rc != kOk) return rc;
    if (got == 0) break;
    done += got;
  }
  return kOk;
}

}  // namespace

CFastFatRecovery::CFastFatRecovery() = default;
CFastFatRecovery::~CFastFatRecovery() = default;

int CFastFatRecovery::OpenImage(const std::filesystem::path& imagePath, char16_t sourceKey) {
  if (m_open) return kOk;
  SectorReader reader;
  if (int rc = OpenImageReader(reader, imagePath); rc != kOk) return m_openResult = rc;
  const uint64_t total = reader.totalSectors;
  return OpenWith(std::move(reader), 0, total, 512, sourceKey);
}

int CFastFatRecovery::OpenPartition(int diskNumber, uint64_t start, uint64_t count,
                                    char16_t driveLetter) {
  if (m_open) return kOk;
  SectorReader reader;
  uint32_t deviceBps = 512;
  if (int rc = OpenFatDiskReader(diskNumber, reader, deviceBps); rc != kOk)
    return m_openResult = rc;
  return OpenWith(std::move(reader), start, count, deviceBps, driveLetter);
}

int CFastFatRecovery::OpenImagePartition(const std::filesystem::path& imagePath, uint64_t start,
                                         uint64_t count, char16_t sourceKey) {
  if (m_open) return kOk;
  SectorReader reader;
  if (int rc = OpenImageReader(reader, imagePath); rc != kOk) return m_openResult = rc;
  return OpenWith(std::move(reader), start, count, 512, sourceKey);
}

int CFastFatRecovery::OpenSource(std::unique_ptr<ByteSource> source, uint64_t totalSectors,
                                 char16_t sourceKey) {
  if (m_open) return kOk;
  SectorReader reader;
  OpenSourceReader(reader, std::move(source), totalSectors);
  if (!reader.IsOpen()) return m_openResult = kErrInvalidHandle;
  return OpenWith(std::move(reader), 0, totalSectors, 512, sourceKey);
}

int CFastFatRecovery::OpenWith(SectorReader reader, uint64_t start, uint64_t count,
                               uint32_t deviceBps, char16_t sourceKey) {
  m_reader = std::move(reader);
  m_start = start;
  m_count = count;
  m_deviceBps = deviceBps;
  m_sourceKey = sourceKey;
  try {
    std::array<uint8_t, kBootBytes> boot{};
    size_t got = 0;
    if (int rc = ReadUpTo(*m_reader.source, start * deviceBps, boot.data(), boot.size(), got);
        rc != kOk)
      return m_openResult = rc;
    if (got < kBootMinimum) return m_openResult = kErrReadFault;
    m_geometry = ParseFatBootSector(boot);
    if (!m_geometry) return m_openResult = kErrUnrecognizedVolume;
    // Bytes per sector from the boot sector; every read after it uses them.
    m_bps = m_geometry->bytesPerSector;
    m_sizing = std::make_unique<SizingContext>();
    m_fat = std::make_unique<FatTable>(m_reader, *m_geometry,
                                       StartSector() + m_geometry->reservedSectors);
  } catch (const std::bad_alloc&) {
    m_geometry.reset();
    return m_openResult = kErrOutOfMemory;
  }
  m_open = true;
  return m_openResult = kOk;
}

uint64_t CFastFatRecovery::StartSector() const {
  return m_bps == 0 ? m_start : m_start * m_deviceBps / m_bps;
}

uint64_t CFastFatRecovery::VolumeSectors() const {
  return m_bps == 0 ? 0 : m_count * m_deviceBps / m_bps;
}

bool CFastFatRecovery::IsValidCluster(uint64_t cluster) const {
  return m_geometry && cluster >= 2 && cluster <= m_geometry->clusterCount + 1;
}

std::optional<uint64_t> CFastFatRecovery::ClusterSector(uint64_t cluster) const {
  if (!IsValidCluster(cluster)) return std::nullopt;
  return StartSector() + m_geometry->ClusterSector(cluster);
}

int CFastFatRecovery::ReadVolumeSectors(uint64_t sector, uint32_t count,
                                        std::vector<uint8_t>& out) {
  out.resize(size_t(count) * m_bps);
  uint32_t got = 0;
  int rc = ReadSectors(count, m_reader, out.data(), sector, m_bps, got);
  if (rc != kOk) return rc;
  return got == count ? kOk : kErrReadFault;
}

int CFastFatRecovery::SetProgressCallback(ScanProgressCallback scan, CopyProgressCallback copy,
                                          void* user, int scale) {
  m_scanCallback = scan;
  m_copyCallback = copy;
  m_user = user;
  m_scale = scale;
  return kOk;
}

int CFastFatRecovery::Report(int percent, int secondsLeft) {
  if (m_scanCallback == nullptr) return kOk;
  // This engine counts no sectors: the three counts are 0.
  return m_scanCallback(m_user, percent, m_scale, secondsLeft, 0, 0, 0, 0);
}

std::filesystem::path CFastFatRecovery::LogFolder() const { return m_logFolder; }

std::filesystem::path CFastFatRecovery::PreviewFolder() const {
  return m_previewFolder.empty() ? ScanLogBaseFolder() : m_previewFolder;
}

int CFastFatRecovery::Scan(const std::filesystem::path* existingLog) {
  m_queue.clear();
  m_walked.clear();
  m_found.clear();
  m_needed.clear();
  m_neededSet.clear();
  m_depths.clear();
  m_store.reset();
  try {
    m_store = std::make_unique<ScanLogStore>();
    m_store->SetSearchCallback(m_searchCallback, m_searchUser);
    if (existingLog != nullptr) {
      // A bare base name lies in the scan-log folder; a path names its own.
      const std::filesystem::path folder =
          existingLog->has_parent_path() ? existingLog->parent_path() : LogFolder();
      return m_store->OpenLog(folder, platform::PathToUtf8(existingLog->filename()));
    }
    if (!m_open) return m_openResult != kOk ? m_openResult : kErrInvalidHandle;
    if (int rc = m_store->OpenLog(LogFolder(),
                                  ScanLogBaseName(kQuickLogPrefix, m_start, platform::LocalTime()));
        rc != kOk)
      return rc;

    m_queue.push_back(m_geometry->rootCluster);
    uint32_t lastReport = platform::TickCountMs();
    // A stop asked at the first report ends the scan before any reading.
    if (int rc = Report(1, -1); rc != kOk) {
      (void)m_store->FlushLog();
      return rc;
    }
    int result = kOk;
    int percent = 2, secondsLeft = 99, scaledPercent = 21;
    while (!m_queue.empty()) {
      const uint32_t folder = m_queue.front();
      m_queue.pop_front();
      if (!m_walked.insert(folder).second) continue;
      WalkFolder(folder);
      const uint32_t now = platform::TickCountMs();
      if (now - lastReport < m_reportIntervalMs) continue;
      lastReport = now;
      int rc = kOk;
      // The walk has no measure of its progress: the percent creeps up and
      // the estimate down, but never past the reports that follow the walk.
      if (m_scale == 100) {
        rc = Report(percent, secondsLeft);
        percent = std::min(percent + 1, 79);
        secondsLeft = std::max(secondsLeft - 1, 11);
      } else if (m_scale == 9) {
        rc = Report(scaledPercent, -1);
        scaledPercent = std::min(scaledPercent + 1, 79);
      }
      if (rc != kOk) {
        result = rc;
        break;
      }
    }
    if (result == kOk) result = Report(80, 10);
    // Also after a stop: the files logged so far keep their folders, so a
    // partial log browses like a whole one.
    LogNeededFolders();
    const int flushed = m_store->FlushLog();
    if (result != kOk) return result;
    if (flushed != kOk) return flushed;
    return Report(100, 0);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

uint64_t CFastFatRecovery::RootKey() const { return m_geometry ? m_geometry->rootCluster : 0; }

int CFastFatRecovery::ListChildren(const ScanRecord* parent, uint32_t depth, RecordList& out) {
  out.clear();
  if (parent == nullptr && depth != 0) return kErrInvalidParameter;
  if (!m_store || !m_store->IsOpen()) return kOk;
  try {
    if (int rc = m_store->FlushLog(); rc != kOk) return rc;
    const uint64_t key = parent ? uint64_t(depth) << 32 | parent->EntryKey() : RootKey();
    return m_store->ListFolder(key, out);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int CFastFatRecovery::CountFiles(const ScanRecord* parent, uint32_t depth, uint32_t& count) {
  count = 0;
  if (parent == nullptr && depth != 0) return kErrInvalidParameter;
  if (!m_store || !m_store->IsOpen()) return kOk;
  try {
    if (int rc = m_store->FlushLog(); rc != kOk) return rc;
    const uint64_t key = parent ? uint64_t(depth) << 32 | parent->EntryKey() : RootKey();
    return m_store->CountFilesBelow(key, count);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

uint64_t CFastFatRecovery::GetRecordCount() { return m_store ? m_store->RecordCount() : 0; }

int CFastFatRecovery::GetRecordPath(const ScanRecord& record, std::string& path, size_t maxChars) {
  path.clear();
  if (!m_store || !m_store->IsOpen()) return kOk;
  try {
    return m_store->GetRecordPath(record, path, maxChars);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int CFastFatRecovery::SetSearchCallback(SearchProgressCallback callback, void* user) {
  m_searchCallback = callback;
  m_searchUser = user;
  if (m_store) m_store->SetSearchCallback(callback, user);
  return kOk;
}

int CFastFatRecovery::Search(const std::string& text, RecordList& out) {
  out.clear();
  if (!m_store || !m_store->IsOpen()) return kOk;
  try {
    return m_store->Search(text, out);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

}  // namespace brinvale
