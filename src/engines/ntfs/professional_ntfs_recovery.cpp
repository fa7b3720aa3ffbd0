// Opening the formatted-NTFS engine, its scan log and the slots it answers
// from that log.
#include "engines/ntfs/professional_ntfs_recovery.h"

#include <new>
#include <system_error>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "engines/ntfs/ntfs_layout.h"
#include "engines/ntfs/ntfs_result_tree.h"
#include "engines/ntfs/professional_ntfs_state.h"
#include "engines/volume_recognition.h"
#include "platform/clock.h"
#include "platform/disk.h"
#include "platform/file.h"
#include "platform/text.h"
#include "results/scan_log_folders.h"
#include "results/scan_log_name.h"

namespace brinvale {

uint32_t DefaultSectorsPerCluster(uint64_t sectorCount, uint32_t bytesPerSector) {
  const uint64_t k = bytesPerSector / 512 == 0 ? 1 : bytesPerSector / 512;
  // Sector sizes are powers of two up to 4,096, so a MiB is whole sectors.
  const uint64_t perMib = bytesPerSector == 0 ? 2048 : (uint64_t(1) << 20) / bytesPerSector;
  const uint64_t mib = sectorCount / (perMib == 0 ? 1 : perMib);
  if (mib <= 7 * k) return 8;
  // Written elsewhere as "the bytes per sector rounded down to a multiple of
  // 512": the same bound as 512k for every sector size.
  if (mib <= 512 * k) return 1;
  if (mib <= 1024 * k) return 2;
  if (mib <= 2048 * k) return 4;
  return 8;
}

CProfessionalNtfsRecovery::CProfessionalNtfsRecovery() : m_state(std::make_unique<State>()) {}
CProfessionalNtfsRecovery::~CProfessionalNtfsRecovery() = default;

int CProfessionalNtfsRecovery::FinishOpen(uint32_t mediumBytesPerSector, uint64_t start,
                                          uint64_t count, char16_t letter) {
  try {
    m_volume = NtfsVolume{};
    m_mfts.clear();
    *m_state = State{};
    m_open = false;
    m_volume.driveLetter = letter;
    if (!SetSectorSize(m_volume, mediumBytesPerSector)) return kErrInvalidParameter;
    m_volume.startSector = start;
    m_volume.sectorCount = count;
    m_sectorsPerCluster = DefaultSectorsPerCluster(count, mediumBytesPerSector);
    m_volume.sectorsPerCluster = m_sectorsPerCluster;

    std::vector<uint8_t> boot(ntfs::boot::kBytesRead);
    uint32_t got = 0;
    if (ReadSectors(uint32_t(boot.size() / mediumBytesPerSector), m_reader, boot.data(), start,
                    mediumBytesPerSector, got) == kOk &&
        IsNtfsBootSector(std::span(boot).first(512)))
      RegisterBootMft(boot, mediumBytesPerSector);
    m_state->record.assign(m_volume.recordSize, 0);
    m_state->chain.assign(m_volume.recordSize, 0);
    m_open = true;
    return kOk;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int CProfessionalNtfsRecovery::OpenImage(const std::filesystem::path& imagePath,
                                         char16_t sourceKey) {
  m_openResult = OpenImageReader(m_reader, imagePath);
  if (m_openResult != kOk) return m_openResult;
  m_openResult = FinishOpen(512, 0, m_reader.totalSectors, sourceKey);
  return m_openResult;
}

int CProfessionalNtfsRecovery::OpenPartition(int diskNumber, uint64_t start, uint64_t count,
                                             char16_t driveLetter) {
  uint32_t bytesPerSector = 512;
  {
    platform::UniqueHandle disk;
    if (platform::OpenDisk(diskNumber, disk) == kOk) bytesPerSector = QueryBytesPerSector(disk);
  }
  const int rc = OpenDiskReader(m_reader, diskNumber);
  if (rc != kOk && !m_reader.IsOpen()) return m_openResult = rc;
  const int opened = FinishOpen(bytesPerSector, start, count, driveLetter);
  m_openResult = opened != kOk ? opened : rc;
  return m_openResult;
}

int CProfessionalNtfsRecovery::OpenImagePartition(const std::filesystem::path& imagePath,
                                                  uint64_t start, uint64_t count,
                                                  char16_t sourceKey) {
  m_openResult = OpenImageReader(m_reader, imagePath);
  if (m_openResult != kOk) return m_openResult;
  m_openResult = FinishOpen(512, start, count, sourceKey);
  return m_openResult;
}

int CProfessionalNtfsRecovery::OpenReader(SectorReader reader, uint64_t startSector,
                                          uint64_t sectorCount, uint32_t mediumBytesPerSector,
                                          char16_t sourceKey) {
  m_reader = std::move(reader);
  if (!m_reader.IsOpen()) return m_openResult = kErrInvalidHandle;
  m_openResult = FinishOpen(mediumBytesPerSector, startSector, sectorCount, sourceKey);
  return m_openResult;
}

int CProfessionalNtfsRecovery::SetProgressCallback(ScanProgressCallback scan,
                                                   CopyProgressCallback copy, void* user,
                                                   int scale) {
  m_scanCallback = scan;
  m_copyCallback = copy;
  m_user = user;
  m_scale = scale;
  return kOk;
}

int CProfessionalNtfsRecovery::Scan(const std::filesystem::path*) { return kOk; }

int CProfessionalNtfsRecovery::OpenProLog(const std::filesystem::path* logName) {
  try {
    m_state->folders.clear();
    m_state->folderIndex.clear();
    m_store = std::make_unique<ScanLogStore>();
    m_store->SetSearchCallback(m_searchCallback, m_searchUser);
    std::filesystem::path folder = m_logFolder;
    if (logName != nullptr) {
      if (logName->has_parent_path()) folder = logName->parent_path();
      return m_store->OpenLog(folder, platform::PathToUtf8(logName->filename()));
    }
    const std::string base =
        ScanLogBaseName(kFormattedNtfsLogPrefix, m_volume.startSector, platform::LocalTime());
    // A new scan starts a log of its own: one of the same name (an earlier
    // scan of the same volume in the same minute) is replaced.
    for (const char* suffix : {"", "_Relation", "_DirInfo"}) {
      std::error_code ec;
      std::filesystem::remove(folder / platform::PathFromUtf8(base + suffix), ec);
    }
    return m_store->OpenLog(folder, base);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int CProfessionalNtfsRecovery::EnsureStore() {
  if (!m_store || !m_store->IsOpen()) return kErrInvalidParameter;
  return kOk;
}

int CProfessionalNtfsRecovery::ListChildren(const ScanRecord* parent, uint32_t depth,
                                            RecordList& out) {
  if (int rc = EnsureStore(); rc != kOk) return rc;
  return ListNtfsChildren(*m_store, kRootRecord, parent, depth, out);
}

int CProfessionalNtfsRecovery::CountFiles(const ScanRecord* parent, uint32_t depth,
                                          uint32_t& count) {
  count = 0;
  if (int rc = EnsureStore(); rc != kOk) return rc;
  return CountNtfsFiles(*m_store, kRootRecord, parent, depth, count);
}

uint64_t CProfessionalNtfsRecovery::GetRecordCount() {
  return m_store ? m_store->RecordCount() : 0;
}

int CProfessionalNtfsRecovery::GetRecordPath(const ScanRecord& record, std::string& path,
                                             size_t maxChars) {
  if (int rc = EnsureStore(); rc != kOk) return rc;
  return m_store->GetRecordPath(record, path, maxChars);
}

int CProfessionalNtfsRecovery::NextFreeRange(uint64_t&, uint64_t&) { return 0; }

int CProfessionalNtfsRecovery::SetSearchCallback(SearchProgressCallback callback, void* user) {
  m_searchCallback = callback;
  m_searchUser = user;
  if (m_store) m_store->SetSearchCallback(callback, user);
  return kOk;
}

int CProfessionalNtfsRecovery::Search(const std::string& text, RecordList& out) {
  if (int rc = EnsureStore(); rc != kOk) return rc;
  return m_store->Search(text, out);
}

int CProfessionalNtfsRecovery::BuildAllocationMap() { return kOk; }

}  // namespace brinvale
