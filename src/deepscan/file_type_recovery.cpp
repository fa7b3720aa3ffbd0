#include "deepscan/file_type_recovery.h"

#include <algorithm>
#include <new>

#include "common/error_codes.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/file_type_table.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "results/scan_log_folders.h"
#include "results/scan_log_name.h"

namespace brinvale {

namespace {

// Bytes per cluster of every content record: there are no clusters.
constexpr uint32_t kNoClusterSize = 0xFFFFFFFF;

bool IsUsableSectorSize(uint32_t bytesPerSector) {
  return bytesPerSector >= 512 && bytesPerSector <= SizingContext::kMaxBytesPerSector &&
         bytesPerSector % 512 == 0;
}

}  // namespace

uint64_t SectorsToStep(int typeCode, uint64_t size, uint32_t bytesPerSector) {
  switch (typeCode) {
    // Sized from a length in the header or a directory inside the file: the
    // sectors inside are still offered, in case the length was wrong.
    case kTypeWord:
    case kTypeCompound:
    case kTypeExcel:
    case kTypePowerPoint:
    case kTypeWav:
    case kTypeAvi:
    case kTypeAsf:
    case kTypeSwf:
    case kTypeBmp:
    case kTypeCab:
    case kTypeTrueType:
    case kTypeIco: return 1;
    default: break;
  }
  if (bytesPerSector == 0) return 1;
  return std::max<uint64_t>(1, size / bytesPerSector + (size % bytesPerSector != 0));
}

CFileTypeRecovery::CFileTypeRecovery() = default;
CFileTypeRecovery::~CFileTypeRecovery() {
  if (m_store) m_store->CloseLog();
}

int CFileTypeRecovery::OpenStore(const std::filesystem::path& logName, uint64_t nameSector) {
  std::filesystem::path folder = m_logFolder;
  std::string base;
  if (logName.empty()) {
    base = ScanLogBaseName(kContentLogPrefix, nameSector, platform::LocalTime());
  } else {
    if (logName.has_parent_path()) folder = logName.parent_path();
    base = platform::PathToUtf8(logName.filename());
  }
  auto store = std::make_unique<ScanLogStore>();
  const int rc = store->OpenLog(folder, base);
  store->SetSearchCallback(m_searchCallback, m_searchUser);
  m_store = std::move(store);
  // The verdicts of the log's carved files lie beside it; without them the
  // files are checked again when asked for.
  auto conditions = std::make_unique<CarvedConditionFile>();
  m_conditions.reset();
  if (rc == kOk && conditions->Open(folder / CarvedConditionFileName(base)) == kOk)
    m_conditions = std::move(conditions);
  return rc;
}

int CFileTypeRecovery::FinishOpen(int readerResult, const std::filesystem::path& logName,
                                  uint64_t nameSector) {
  try {
    // A new scan starts with a fresh context: the stream ranges and flags
    // of an earlier medium mean nothing on this one.
    m_sizing = std::make_unique<SizingContext>();
    const int logResult = OpenStore(logName, nameSector);
    return readerResult != kOk ? readerResult : logResult;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int CFileTypeRecovery::OpenImage(const std::filesystem::path& imagePath, char16_t sourceKey) {
  return OpenForImage(512, {}, sourceKey, imagePath);
}

int CFileTypeRecovery::OpenPartition(int diskNumber, uint64_t start, uint64_t count,
                                     char16_t driveLetter) {
  m_diskNumber = diskNumber;
  m_sourceKey = driveLetter;
  const int rc = OpenDiskReader(m_reader, diskNumber);
  m_bytesPerSector = 512;
  if (auto* file = dynamic_cast<FileByteSource*>(m_reader.source.get()))
    m_bytesPerSector = QueryBytesPerSector(file->Handle());
  m_start = start;
  m_count = count;
  return FinishOpen(rc, {}, start);
}

int CFileTypeRecovery::OpenImagePartition(const std::filesystem::path& imagePath, uint64_t start,
                                          uint64_t count, char16_t sourceKey) {
  m_diskNumber = -1;
  m_sourceKey = sourceKey;
  m_bytesPerSector = 512;
  const int rc = OpenImageReader(m_reader, imagePath);
  m_start = start;
  m_count = count;
  return FinishOpen(rc, {}, start);
}

int CFileTypeRecovery::OpenForDisk(uint32_t bytesPerSector, int diskNumber,
                                   const std::filesystem::path& logName, char16_t driveLetter) {
  m_diskNumber = diskNumber;
  m_sourceKey = driveLetter;
  m_bytesPerSector = bytesPerSector;
  const int rc = OpenDiskReader(m_reader, diskNumber);
  m_start = 0;
  m_count = m_reader.totalSectors;
  return FinishOpen(IsUsableSectorSize(bytesPerSector) ? rc : kErrInvalidParameter, logName, 0);
}

int CFileTypeRecovery::OpenForImage(uint32_t bytesPerSector, const std::filesystem::path& logName,
                                    char16_t sourceKey, const std::filesystem::path& imagePath) {
  m_diskNumber = -1;
  m_sourceKey = sourceKey;
  m_bytesPerSector = bytesPerSector;
  int rc = OpenImageReader(m_reader, imagePath);
  // The reader counts 512-byte sectors; reads go by the caller's size.
  if (rc == kOk && IsUsableSectorSize(bytesPerSector))
    m_reader.totalSectors = m_reader.totalSectors * 512 / bytesPerSector;
  if (!IsUsableSectorSize(bytesPerSector)) rc = kErrInvalidParameter;
  m_start = 0;
  m_count = m_reader.totalSectors;
  return FinishOpen(rc, logName, 0);
}

int CFileTypeRecovery::OpenReader(SectorReader reader, uint32_t bytesPerSector, char16_t sourceKey,
                                  const std::filesystem::path& logName) {
  m_reader = std::move(reader);
  m_diskNumber = -1;
  m_sourceKey = sourceKey;
  m_bytesPerSector = bytesPerSector;
  m_start = 0;
  m_count = m_reader.totalSectors;
  return FinishOpen(IsUsableSectorSize(bytesPerSector) ? kOk : kErrInvalidParameter, logName, 0);
}

int CFileTypeRecovery::SetProgressCallback(ScanProgressCallback scan, CopyProgressCallback copy,
                                           void* user, int scale) {
  m_progress = scan;
  m_copyProgress = copy;
  m_user = user;
  m_scale = scale;
  return kOk;
}

int CFileTypeRecovery::FlushLog() {
  if (!m_store || !m_store->IsOpen()) return kOk;
  try {
    return m_store->FlushLog();
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int CFileTypeRecovery::Scan(const std::filesystem::path* existingLog) {
  if (existingLog == nullptr || existingLog->empty()) return kOk;
  try {
    return OpenStore(*existingLog, 0);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int CFileTypeRecovery::RecordFoundFile(std::span<const uint8_t> candidate, uint64_t sector,
                                       const ScanPosition& position, uint64_t& sectorsToStep,
                                       uint64_t& filesFound) {
  return RecordFoundFile(candidate, sector, position, m_reader, sectorsToStep, filesFound);
}

int CFileTypeRecovery::RecordFoundFile(std::span<const uint8_t> candidate, uint64_t sector,
                                       const ScanPosition& position, SectorReader& reader,
                                       uint64_t& sectorsToStep, uint64_t& filesFound) {
  sectorsToStep = 1;
  if (!m_store || !m_store->IsOpen() || !m_sizing) return kErrInvalidHandle;
  if (!IsUsableSectorSize(m_bytesPerSector)) return kErrInvalidParameter;
  try {
    SizingContext& ctx = *m_sizing;
    ctx.SetCandidate(reader, m_bytesPerSector, sector);
    ctx.progress.callback = m_progress;
    ctx.progress.user = m_user;
    ctx.progress.scale = m_scale;
    ctx.progress.secondsLeft = position.secondsLeft;
    ctx.progress.sectorsScanned = position.sectorsScanned;
    ctx.progress.totalSectors = position.totalSectors;
    ctx.progress.filesFound = filesFound;

    std::string name;
    int typeCode = kTypeUnknown;
    uint64_t size = 0;
    if (int rc = IdentifyFile(ctx, candidate, int64_t(sector), name, typeCode, size); rc != kOk)
      return rc;

    // Lengths read from a header can point past the medium; the file ends
    // with the medium.
    if (sector < reader.totalSectors) {
      const uint64_t sectorsLeft = reader.totalSectors - sector;
      if (sectorsLeft <= UINT64_MAX / m_bytesPerSector)
        size = std::min(size, sectorsLeft * m_bytesPerSector);
    }
    // The name is the sector as an unsigned number, whatever its size.
    name = std::to_string(sector) + name.substr(std::min(name.find('.'), name.size()));
    AppendFound(sector, size, name);
    sectorsToStep = SectorsToStep(typeCode, size, m_bytesPerSector);
    ++filesFound;
    return kOk;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

void CFileTypeRecovery::PassUnmatchedSector() {
  // RecordFoundFile's own early answers leave the flags alone.
  if (!m_store || !m_store->IsOpen() || !m_sizing || !IsUsableSectorSize(m_bytesPerSector)) return;
  m_sizing->inStream = true;
  m_sizing->afterMts = false;
}

void CFileTypeRecovery::AppendFound(uint64_t sector, uint64_t size, const std::string& name) {
  ScanRecord r;
  r.SetSourceKey(m_sourceKey);
  r.SetEngine(EngineCode::kContent);
  r.SetIsFolder(false);
  r.SetContentCheck(1);
  r.SetEntryKey(0);
  r.SetClusterBytes(kNoClusterSize);
  r.SetFileSize(size);
  r.SetMetadataSector(sector);
  r.SetName(name);
  const uint32_t number = m_store->AppendRecord(r);
  m_store->AddRelation(0, number);
}

int CFileTypeRecovery::ListChildren(const ScanRecord* parent, uint32_t depth, RecordList& out) {
  out.clear();
  if (!m_store) return kOk;
  if (int rc = m_store->FlushLog(); rc != kOk) return rc;
  if (parent != nullptr || depth != 0) return kOk;
  return m_store->ListFolder(0, out);
}

int CFileTypeRecovery::CountFiles(const ScanRecord* parent, uint32_t depth, uint32_t& count) {
  count = 0;
  if (!m_store) return kOk;
  if (int rc = m_store->FlushLog(); rc != kOk) return rc;
  if (parent != nullptr || depth != 0) return kOk;
  return m_store->CountFilesBelow(0, count);
}

uint64_t CFileTypeRecovery::GetRecordCount() { return m_store ? m_store->RecordCount() : 0; }

int CFileTypeRecovery::GetRecordPath(const ScanRecord&, std::string& path, size_t) {
  path.clear();
  return kOk;
}

int CFileTypeRecovery::SetSearchCallback(SearchProgressCallback callback, void* user) {
  m_searchCallback = callback;
  m_searchUser = user;
  if (!m_store) return kErrInvalidParameter;
  m_store->SetSearchCallback(callback, user);
  return kOk;
}

int CFileTypeRecovery::Search(const std::string& text, RecordList& out) {
  if (!m_store) {
    out.clear();
    return kOk;
  }
  return m_store->Search(text, out);
}

}  // namespace brinvale
