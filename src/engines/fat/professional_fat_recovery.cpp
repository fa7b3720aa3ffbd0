// The formatted-FAT engine: opening, the scan log and the browsing slots.
#include "engines/fat/professional_fat_recovery.h"

#include <algorithm>

#include "common/error_codes.h"
#include "engines/fat/fat_disk_reader.h"
#include "engines/fat/professional_fat_state.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "results/scan_log_folders.h"
#include "results/scan_log_name.h"

namespace brinvale {

CProfessionalFatRecovery::CProfessionalFatRecovery() : m_state(std::make_unique<State>()) {}
CProfessionalFatRecovery::~CProfessionalFatRecovery() = default;

int CProfessionalFatRecovery::OpenImage(const std::filesystem::path& imagePath,
                                        char16_t sourceKey) {
  if (m_open) return kOk;
  SectorReader reader;
  if (int rc = OpenImageReader(reader, imagePath); rc != kOk) return m_openResult = rc;
  const uint64_t total = reader.totalSectors;
  return OpenReader(std::move(reader), 0, total, 512, sourceKey);
}

int CProfessionalFatRecovery::OpenPartition(int diskNumber, uint64_t start, uint64_t count,
                                            char16_t driveLetter) {
  if (m_open) return kOk;
  SectorReader reader;
  uint32_t bytesPerSector = 512;
  if (int rc = OpenFatDiskReader(diskNumber, reader, bytesPerSector); rc != kOk)
    return m_openResult = rc;
  return OpenReader(std::move(reader), start, count, bytesPerSector, driveLetter);
}

int CProfessionalFatRecovery::OpenImagePartition(const std::filesystem::path& imagePath,
                                                 uint64_t start, uint64_t count,
                                                 char16_t sourceKey) {
  if (m_open) return kOk;
  SectorReader reader;
  if (int rc = OpenImageReader(reader, imagePath); rc != kOk) return m_openResult = rc;
  return OpenReader(std::move(reader), start, count, 512, sourceKey);
}

int CProfessionalFatRecovery::OpenReader(SectorReader reader, uint64_t start, uint64_t count,
                                         uint32_t bytesPerSector, char16_t sourceKey) {
  if (m_open) return kOk;
  if (!reader.IsOpen() || bytesPerSector == 0) return m_openResult = kErrInvalidHandle;
  m_reader = std::move(reader);
  m_start = start;
  m_count = count;
  m_bytesPerSector = bytesPerSector;
  m_sourceKey = sourceKey;
  m_state->current.reset();
  m_open = true;
  return m_openResult = kOk;
}

uint64_t CProfessionalFatRecovery::VolumeEnd() const {
  const uint64_t end = m_count > UINT64_MAX - m_start ? UINT64_MAX : m_start + m_count;
  return std::min(end, m_reader.totalSectors);
}

int CProfessionalFatRecovery::ReadAbsolute(uint64_t sector, uint32_t count,
                                           std::vector<uint8_t>& out) {
  if (!m_open) return m_openResult != kOk ? m_openResult : kErrInvalidHandle;
  const uint64_t end = VolumeEnd();
  if (count == 0 || sector >= end || end - sector < count) return kErrInvalidParameter;
  out.resize(size_t(count) * m_bytesPerSector);
  uint32_t got = 0;
  if (int rc = ReadSectors(count, m_reader, out.data(), sector, m_bytesPerSector, got); rc != kOk)
    return rc;
  return got == count ? kOk : kErrReadFault;
}

int CProfessionalFatRecovery::SetProgressCallback(ScanProgressCallback scan,
                                                  CopyProgressCallback copy, void* user,
                                                  int scale) {
  m_scanCallback = scan;
  m_copyCallback = copy;
  m_user = user;
  m_scale = scale;
  return kOk;
}

int CProfessionalFatRecovery::Scan(const std::filesystem::path*) { return kOk; }

std::filesystem::path CProfessionalFatRecovery::LogFolder() const { return m_logFolder; }

std::filesystem::path CProfessionalFatRecovery::PreviewFolder() const {
  return m_previewFolder.empty() ? ScanLogBaseFolder() : m_previewFolder;
}

int CProfessionalFatRecovery::PrepareFatScan(const std::filesystem::path* logName) {
  try {
    m_state = std::make_unique<State>();
    m_geometries.clear();
    m_bootGeometry = false;
    m_rootCluster = 2;
    m_store.reset();
    m_store = std::make_unique<ScanLogStore>();
    m_store->SetSearchCallback(m_searchCallback, m_searchUser);
    if (logName != nullptr) {
      // A bare base name lies in the scan-log folder; a path names its own.
      const std::filesystem::path folder =
          logName->has_parent_path() ? logName->parent_path() : LogFolder();
      return m_store->OpenLog(folder, platform::PathToUtf8(logName->filename()));
    }
    return m_store->OpenLog(
        LogFolder(), ScanLogBaseName(kFormattedFatLogPrefix, m_start, platform::LocalTime()));
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int CProfessionalFatRecovery::ListChildren(const ScanRecord* parent, uint32_t depth,
                                           RecordList& out) {
  out.clear();
  if (parent == nullptr && depth != 0) return kErrInvalidParameter;
  if (!m_store || !m_store->IsOpen()) return kOk;
  try {
    if (int rc = m_store->FlushLog(); rc != kOk) return rc;
    const uint64_t key = parent ? ChildKey(*parent, depth) : RootKey();
    // Key 0 asks the store for its first list: a root at cluster 0 with
    // nothing filed under it has no children.
    if (key == 0 && m_store->Relations().count(0) == 0) return kOk;
    return m_store->ListFolder(key, out);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int CProfessionalFatRecovery::CountFiles(const ScanRecord* parent, uint32_t depth,
                                         uint32_t& count) {
  count = 0;
  if (parent == nullptr && depth != 0) return kErrInvalidParameter;
  if (!m_store || !m_store->IsOpen()) return kOk;
  try {
    if (int rc = m_store->FlushLog(); rc != kOk) return rc;
    const uint64_t key = parent ? ChildKey(*parent, depth) : RootKey();
    if (key == 0 && m_store->Relations().count(0) == 0) return kOk;
    return m_store->CountFilesBelow(key, count);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

uint64_t CProfessionalFatRecovery::GetRecordCount() { return m_store ? m_store->RecordCount() : 0; }

int CProfessionalFatRecovery::GetRecordPath(const ScanRecord& record, std::string& path,
                                            size_t maxChars) {
  path.clear();
  if (!m_store || !m_store->IsOpen()) return kOk;
  try {
    if (int rc = m_store->FlushLog(); rc != kOk) return rc;
    return m_store->GetRecordPath(record, path, maxChars);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

std::vector<uint32_t> CProfessionalFatRecovery::MergedFolders() {
  std::vector<uint32_t> out;
  if (!m_store || !m_store->IsOpen() || m_store->FlushLog() != kOk) return out;
  // Keys of one level sort together.
  const uint64_t first = MergedFolderKey(0);
  const RelationMap& relations = m_store->Relations();
  for (auto it = relations.lower_bound(first);
       it != relations.end() && uint32_t(it->first >> 32) == ScanLogStore::kForeignLevel; ++it)
    if (!it->second.empty()) out.push_back(uint32_t(it->first));
  return out;
}

int CProfessionalFatRecovery::ListMergedFolder(uint32_t cluster, RecordList& out) {
  out.clear();
  if (!m_store || !m_store->IsOpen()) return kOk;
  try {
    if (int rc = m_store->FlushLog(); rc != kOk) return rc;
    const uint64_t key = MergedFolderKey(cluster);
    if (m_store->Relations().count(key) == 0) return kOk;
    return m_store->ListFolder(key, out);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int CProfessionalFatRecovery::CountMergedFolder(uint32_t cluster, uint32_t& count) {
  count = 0;
  if (!m_store || !m_store->IsOpen()) return kOk;
  try {
    if (int rc = m_store->FlushLog(); rc != kOk) return rc;
    const uint64_t key = MergedFolderKey(cluster);
    if (m_store->Relations().count(key) == 0) return kOk;
    return m_store->CountFilesBelow(key, count);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

bool CProfessionalFatRecovery::MergedFolderOf(const ScanRecord& record, uint32_t& cluster) {
  if (!m_store || !m_store->IsOpen()) return false;
  try {
    if (m_store->FlushLog() != kOk) return false;
    uint64_t key = 0;
    if (!m_store->OutermostKey(record, key) || uint32_t(key >> 32) != ScanLogStore::kForeignLevel)
      return false;
    cluster = uint32_t(key);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

int CProfessionalFatRecovery::NextFreeRange(uint64_t&, uint64_t&) { return 0; }

int CProfessionalFatRecovery::SetSearchCallback(SearchProgressCallback callback, void* user) {
  m_searchCallback = callback;
  m_searchUser = user;
  if (m_store) m_store->SetSearchCallback(callback, user);
  return kOk;
}

int CProfessionalFatRecovery::Search(const std::string& text, RecordList& out) {
  out.clear();
  if (!m_store || !m_store->IsOpen()) return kOk;
  try {
    return m_store->Search(text, out);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int CProfessionalFatRecovery::BuildAllocationMap() { return kOk; }

}  // namespace brinvale
