#include "engines/professional_recovery.h"

#include <algorithm>
#include <new>

#include "common/error_codes.h"
#include "deepscan/file_type_recovery.h"
#include "engines/engine_factory.h"
#include "engines/fat/fast_fat_recovery.h"
#include "engines/fat/fat_record_copy.h"
#include "engines/fat/professional_fat_recovery.h"
#include "engines/medium_stamp.h"
#include "engines/ntfs/fast_ntfs_recovery.h"
#include "engines/ntfs/professional_ntfs_recovery.h"
#include "platform/disk.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "results/record_rules.h"
#include "results/target_folders.h"
#include "results/target_paths.h"

namespace brinvale {

namespace fs = std::filesystem;

constexpr int kErrInsufficientBuffer = 122;  // ERROR_INSUFFICIENT_BUFFER: a path cut to fit

CProfessionalRecovery::CProfessionalRecovery(IScanHistory& history)
    : m_history(history),
      m_fat(std::make_unique<CProfessionalFatRecovery>()),
      m_ntfs(std::make_unique<CProfessionalNtfsRecovery>()),
      m_content(std::make_unique<CFileTypeRecovery>()) {}

CProfessionalRecovery::~CProfessionalRecovery() = default;

CarvedVerdict CProfessionalRecovery::CarvedVerdictOf(const ScanRecord& record) {
  if (record.Engine() == EngineCode::kContent) return m_content->CarvedVerdictOf(record);
  if (auto* conditions = dynamic_cast<ICarvedConditions*>(EngineFor(record)))
    return conditions->CarvedVerdictOf(record);
  return {};
}

std::optional<CarvedVerdict> CProfessionalRecovery::KnownVerdictOf(const ScanRecord& record) {
  if (auto* conditions = dynamic_cast<ICarvedConditions*>(EngineFor(record)))
    return conditions->KnownVerdictOf(record);
  return CarvedVerdict{};
}

EngineSetup CProfessionalRecovery::QuickSetup() const {
  // The quick engine learns its log folder when the scan has chosen one.
  EngineSetup setup;
  setup.previewFolder = m_previewFolder;
  return setup;
}

int CProfessionalRecovery::OpenImage(const fs::path& imagePath, char16_t sourceKey) {
  std::error_code ec;
  // The history knows an image by its path: the same image named from
  // another working folder is still the same image.
  fs::path path = fs::absolute(imagePath, ec);
  if (ec) path = imagePath;
  m_letter = sourceKey;
  m_diskNumber = kImageDiskNumber;
  m_start = 0;
  m_bytesPerSector = 512;
  m_imagePath = path;
  if (int rc = OpenImageReader(m_reader, path); rc != kOk) return m_openResult = rc;
  m_count = m_reader.totalSectors;
  m_stamp = ImageStamp(path);
  m_entry = ScanHistoryEntry{};
  m_earlierScan = m_history.FindImageEntry(path, m_stamp, m_entry);
  CheckEarlierLogs();
  (void)m_fat->OpenImage(path, sourceKey);
  m_openResult = m_ntfs->OpenImage(path, sourceKey);
  m_quicks.clear();
  m_table = PartitionTable{};
  if (auto quick = CreateEngineForImage(path, sourceKey, ScanMode::kQuick, QuickSetup())) {
    m_quicks.push_back(QuickStep{std::move(quick), 0, m_count, false});
  } else {
    AddImagePartitionSteps(path);
  }
  return m_openResult;
}

void CProfessionalRecovery::AddImagePartitionSteps(const fs::path& path) {
  // No file system at sector 0: the image may hold a whole disk.
  if (ReadPartitionTable(m_reader, 512, m_table) != kOk) {
    m_table = PartitionTable{};
    return;
  }
  for (const PartitionEntry& p : m_table.partitions) {
    const uint64_t start = StartIn(m_table, p, 512);
    uint64_t count = LengthIn(m_table, p, 512);
    if (start >= m_count || count == 0) continue;
    count = std::min(count, m_count - start);
    // A partition whose file system is not recognised keeps its step: the
    // pass then covers it whole.
    m_quicks.push_back(QuickStep{
        CreateEngineForImagePartition(path, start, count, m_letter, ScanMode::kQuick, QuickSetup()),
        start, count, false});
  }
}

void CProfessionalRecovery::AddDiskPartitionSteps() {
  // No file system at the disk's first sector: its partitions, from its
  // own table (the system may show none, as for a loop device without
  // partition scanning).
  if (ReadPartitionTable(m_reader, m_bytesPerSector, m_table) != kOk) {
    m_table = PartitionTable{};
    return;
  }
  for (const PartitionEntry& p : m_table.partitions) {
    const uint64_t start = StartIn(m_table, p, m_bytesPerSector);
    uint64_t count = LengthIn(m_table, p, m_bytesPerSector);
    if (start >= m_count || count == 0) continue;
    count = std::min(count, m_count - start);
    m_quicks.push_back(QuickStep{CreateEngineForPartition(m_diskNumber, start, count, 0,
                                                          ScanMode::kQuick, QuickSetup()),
                                 start, count, false});
  }
}

int CProfessionalRecovery::OpenImagePartition(const fs::path& imagePath, uint64_t start,
                                              uint64_t count, char16_t sourceKey) {
  std::error_code ec;
  fs::path path = fs::absolute(imagePath, ec);
  if (ec) path = imagePath;
  m_letter = sourceKey;
  m_diskNumber = kImageDiskNumber;
  m_bytesPerSector = 512;
  m_imagePath = path;
  m_quicks.clear();
  m_table = PartitionTable{};
  if (int rc = OpenImageReader(m_reader, path); rc != kOk) return m_openResult = rc;
  if (start >= m_reader.totalSectors) return m_openResult = kErrInvalidParameter;
  m_start = start;
  m_count = std::min(count, m_reader.totalSectors - start);
  m_stamp = ImageStamp(path);
  m_entry = ScanHistoryEntry{};
  // One partition of an image is known by the image and its place in it.
  m_earlierScan = m_history.FindImagePartitionEntry(path, m_start, m_count, m_stamp, m_entry);
  CheckEarlierLogs();
  (void)m_fat->OpenImagePartition(path, m_start, m_count, sourceKey);
  m_openResult = m_ntfs->OpenImagePartition(path, m_start, m_count, sourceKey);
  if (auto quick = CreateEngineForImagePartition(path, m_start, m_count, sourceKey,
                                                 ScanMode::kQuick, QuickSetup()))
    m_quicks.push_back(QuickStep{std::move(quick), 0, m_count, false});
  return m_openResult;
}

int CProfessionalRecovery::OpenPartition(int diskNumber, uint64_t start, uint64_t count,
                                         char16_t driveLetter) {
  m_letter = driveLetter;
  m_diskNumber = diskNumber;
  m_start = start;
  m_count = count;
  m_imagePath.clear();
  {
    platform::UniqueHandle disk;
    if (int rc = platform::OpenDisk(diskNumber, disk); rc != kOk) return m_openResult = rc;
    m_bytesPerSector = QueryBytesPerSector(disk);
  }
  if (int rc = OpenDiskReader(m_reader, diskNumber); rc != kOk) return m_openResult = rc;
  // The quick engine knows the file system, and so what is allocated on it:
  // the partition's stamp comes from its map of free space.
  m_quicks.clear();
  m_table = PartitionTable{};
  if (auto quick = CreateEngineForPartition(diskNumber, start, count, driveLetter,
                                            ScanMode::kQuick, QuickSetup()))
    m_quicks.push_back(QuickStep{std::move(quick), 0, count, false});
  else if (start == 0)
    AddDiskPartitionSteps();
  if (m_quicks.size() <= 1) {
    m_stamp = PartitionStamp(driveLetter, QuickEngine(), m_reader, start, count, m_bytesPerSector);
  } else {
    // A whole disk with partitions: what each partition's file system
    // holds, and the disk's first and last MiB (the table among them).
    uint64_t stamp = ContentStamp(nullptr, m_reader, start, count, m_bytesPerSector);
    for (const QuickStep& step : m_quicks)
      stamp = (stamp ^ ContentStamp(step.engine.get(), m_reader, step.start, step.count,
                                    m_bytesPerSector)) *
              0x100000001B3ull;
    m_stamp = stamp;
  }
  m_entry = ScanHistoryEntry{};
  m_earlierScan =
      m_history.FindPartitionEntry(uint32_t(diskNumber), start, count, m_stamp, m_entry);
  CheckEarlierLogs();
  (void)m_fat->OpenPartition(diskNumber, start, count, driveLetter);
  m_openResult = m_ntfs->OpenPartition(diskNumber, start, count, driveLetter);
  return m_openResult;
}

void CProfessionalRecovery::CheckEarlierLogs() {
  m_earlierDamaged = false;
  m_earlierLogs = ScanLogVerdict{};
  if (!m_earlierScan) return;
  m_earlierLogs = VerifyScanLogs(platform::PathFromUtf8(platform::Utf16ToUtf8(m_entry.folder)),
                                 m_entry.resume.filesFound);
  if (m_earlierLogs.state != ScanLogState::kIntact) {
    // Continuing would append to logs that no longer hold what the resume
    // point counts on, and lose what they lost.
    m_earlierScan = false;
    m_earlierDamaged = true;
  }
}

void CProfessionalRecovery::DeclineEarlierScan() {
  if (!m_earlierScan && !m_earlierDamaged) return;
  m_earlierScan = false;
  m_earlierDamaged = false;
  (void)m_history.ForgetFolder(platform::PathFromUtf8(platform::Utf16ToUtf8(m_entry.folder)));
  m_entry = ScanHistoryEntry{};
}

void CProfessionalRecovery::SetLogFolders(const fs::path& folder) {
  m_fat->SetScanLogFolder(folder);
  m_ntfs->SetScanLogFolder(folder);
  m_content->SetScanLogFolder(folder);
  for (IRidiRedazuvoParse* quick : QuickEngines()) {
    if (auto* fat = dynamic_cast<CFastFatRecovery*>(quick)) fat->SetScanLogFolder(folder);
    if (auto* ntfs = dynamic_cast<CFastNtfsRecovery*>(quick)) ntfs->SetScanLogFolder(folder);
  }
}

void CProfessionalRecovery::SetPreviewFolder(const fs::path& folder) {
  m_previewFolder = folder;
  m_fat->SetPreviewFolder(folder);
  m_ntfs->SetPreviewFolder(folder);
  m_content->SetPreviewFolder(folder);
  for (IRidiRedazuvoParse* quick : QuickEngines()) {
    if (auto* fat = dynamic_cast<CFastFatRecovery*>(quick)) fat->SetPreviewFolder(folder);
    if (auto* ntfs = dynamic_cast<CFastNtfsRecovery*>(quick)) ntfs->SetPreviewFolder(folder);
  }
}

int CProfessionalRecovery::SetProgressCallback(ScanProgressCallback scan, CopyProgressCallback copy,
                                               void* user, int) {
  m_scanCallback = scan;
  m_copyCallback = copy;
  m_user = user;
  // The quick step fills the first 9 % of the bar, the pass the next 90 %.
  for (IRidiRedazuvoParse* quick : QuickEngines()) quick->SetProgressCallback(scan, copy, user, 9);
  m_fat->SetProgressCallback(scan, copy, user, 90);
  m_ntfs->SetProgressCallback(scan, copy, user, 90);
  m_content->SetProgressCallback(scan, copy, user, 90);
  return kOk;
}

IRidiRedazuvoParse* CProfessionalRecovery::SingleQuick() const {
  return m_quicks.size() == 1 && m_quicks.front().start == 0 ? m_quicks.front().engine.get()
                                                             : nullptr;
}

std::vector<IRidiRedazuvoParse*> CProfessionalRecovery::AllEngines() const {
  std::vector<IRidiRedazuvoParse*> out = QuickEngines();
  out.push_back(m_fat.get());
  out.push_back(m_ntfs.get());
  out.push_back(m_content.get());
  return out;
}

std::vector<IRidiRedazuvoParse*> CProfessionalRecovery::QuickEngines() const {
  std::vector<IRidiRedazuvoParse*> out;
  for (const QuickStep& step : m_quicks)
    if (step.engine) out.push_back(step.engine.get());
  return out;
}

IRidiRedazuvoParse* CProfessionalRecovery::QuickFor(const ScanRecord& record) {
  if (m_quicks.size() == 1) return m_quicks.front().engine.get();
  // Several partitions of one image: the record names its partition's
  // start, in the image's sectors.
  for (QuickStep& step : m_quicks)
    if (m_start + step.start == record.PartitionStart()) return step.engine.get();
  return nullptr;
}

IRidiRedazuvoParse* CProfessionalRecovery::EngineFor(const ScanRecord& record) {
  switch (record.EngineValue()) {
    case uint32_t(EngineCode::kQuickNtfs):
    case uint32_t(EngineCode::kQuickFat): return QuickFor(record);
    case uint32_t(EngineCode::kFormattedNtfs): return m_ntfs.get();
    case uint32_t(EngineCode::kFormattedFat): return m_fat.get();
    case uint32_t(EngineCode::kContent): return m_content.get();
    default: return nullptr;
  }
}

bool CProfessionalRecovery::HoldsMergedEntries(const ScanRecord& record) const {
  return record.Engine() == EngineCode::kQuickFat && IsFolderRecord(record) &&
         m_quickListing.Folder(record.EntryKey()) != nullptr;
}

int CProfessionalRecovery::ListChildren(const ScanRecord* parent, uint32_t depth, RecordList& out) {
  out.clear();
  try {
    if (parent != nullptr) {
      // Found files by content sit in a flat list: they have no children.
      if (parent->Engine() == EngineCode::kContent) return kOk;
      IRidiRedazuvoParse* engine = EngineFor(*parent);
      if (engine == nullptr) return kOk;
      int rc = engine->ListChildren(parent, depth, out);
      if (HoldsMergedEntries(*parent)) {
        // What only the formatted engine saw of a folder the quick engine
        // placed lies in that folder.
        RecordList merged;
        const int mergedRc = m_fat->ListMergedFolder(parent->EntryKey(), merged);
        if (rc == kOk) rc = mergedRc;
        out.insert(out.end(), merged.begin(), merged.end());
      }
      std::sort(out.begin(), out.end(), ListedBefore);
      return rc;
    }
    if (depth != 0) return kErrInvalidParameter;
    int firstError = kOk;
    RecordList part;
    for (IRidiRedazuvoParse* engine : AllEngines()) {
      const int rc = engine->ListChildren(nullptr, 0, part);
      if (rc != kOk && firstError == kOk) firstError = rc;
      out.insert(out.end(), part.begin(), part.end());
    }
    std::sort(out.begin(), out.end(), ListedBefore);
    return firstError;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int CProfessionalRecovery::CountMergedFiles(const ScanRecord* folder, uint32_t& count) {
  count = 0;
  auto* quick = dynamic_cast<CFastFatRecovery*>(SingleQuick());
  int firstError = kOk;
  for (const uint32_t cluster : m_fat->MergedFolders()) {
    const ScanRecord* holder = m_quickListing.Folder(cluster);
    if (holder == nullptr) continue;
    if (folder != nullptr && holder->EntryKey() != folder->EntryKey()) {
      // Counted when `folder` is the holder or one of its ancestors.
      std::vector<ScanRecord> chain;
      if (quick == nullptr || quick->Store() == nullptr) continue;
      (void)quick->Store()->GetAncestors(*holder, chain);
      if (std::none_of(chain.begin(), chain.end(), [&](const ScanRecord& r) {
            return r.EntryKey() == folder->EntryKey();
          }))
        continue;
    }
    uint32_t part = 0;
    const int rc = m_fat->CountMergedFolder(cluster, part);
    if (rc != kOk && firstError == kOk) firstError = rc;
    count += part;
  }
  return firstError;
}

int CProfessionalRecovery::CountFiles(const ScanRecord* parent, uint32_t depth, uint32_t& count) {
  if (parent != nullptr) {
    if (parent->Engine() == EngineCode::kContent) return kOk;  // the count is left alone
    IRidiRedazuvoParse* engine = EngineFor(*parent);
    if (engine == nullptr) return kOk;
    int rc = engine->CountFiles(parent, depth, count);
    if (HoldsMergedEntries(*parent)) {
      uint32_t merged = 0;
      const int mergedRc = CountMergedFiles(parent, merged);
      if (rc == kOk) rc = mergedRc;
      count += merged;
    }
    return rc;
  }
  if (depth != 0) return kErrInvalidParameter;
  count = 0;
  int firstError = kOk;
  for (IRidiRedazuvoParse* engine : AllEngines()) {
    uint32_t part = 0;
    const int rc = engine->CountFiles(nullptr, 0, part);
    if (rc != kOk && firstError == kOk) firstError = rc;
    count += part;
  }
  // The formatted engine's entries filed in the quick engine's folders lie
  // below no top-level record of its own.
  uint32_t merged = 0;
  const int rc = CountMergedFiles(nullptr, merged);
  if (rc != kOk && firstError == kOk) firstError = rc;
  count += merged;
  return firstError;
}

uint64_t CProfessionalRecovery::GetRecordCount() {
  uint64_t total = m_fat->GetRecordCount() + m_ntfs->GetRecordCount() + m_content->GetRecordCount();
  for (IRidiRedazuvoParse* quick : QuickEngines()) total += quick->GetRecordCount();
  return total;
}

int CProfessionalRecovery::GetRecordPath(const ScanRecord& record, std::string& path,
                                         size_t maxChars) {
  path.clear();
  if (record.Engine() == EngineCode::kContent) return kOk;  // a flat list: no folders
  IRidiRedazuvoParse* engine = EngineFor(record);
  if (engine == nullptr) return kOk;
  int rc = engine->GetRecordPath(record, path, maxChars);
  uint32_t cluster = 0;
  const ScanRecord* holder = nullptr;
  IRidiRedazuvoParse* const quick = SingleQuick();
  if (record.Engine() != EngineCode::kFormattedFat || quick == nullptr ||
      !m_fat->MergedFolderOf(record, cluster) ||
      (holder = m_quickListing.Folder(cluster)) == nullptr)
    return rc;
  // Below a folder the quick engine placed: that folder's path first.
  std::string outer;
  const int outerRc = quick->GetRecordPath(*holder, outer, maxChars);
  if (outerRc == kErrOutOfMemory) return outerRc;
  std::string full = outer + std::string(holder->Name()) + '\\' + path;
  path = std::string(CutUtf8(full, maxChars));
  if (path.size() != full.size()) return kErrInsufficientBuffer;
  return rc != kOk ? rc : outerRc;
}

int CProfessionalRecovery::RecoverRecord(const ScanRecord& record, const fs::path& target,
                                         int separators) {
  IRidiRedazuvoParse* engine = EngineFor(record);
  if (engine == nullptr) return kOk;
  if (record.IsFolder() && record.Engine() == EngineCode::kQuickFat &&
      !m_fat->MergedFolders().empty())
    return RecoverMergedFolder(record, target, separators);
  return engine->RecoverRecord(record, target, separators);
}

int CProfessionalRecovery::RecoverMergedFolder(const ScanRecord& folder, const fs::path& target,
                                               int separators) {
  try {
    auto* quick = dynamic_cast<CFastFatRecovery*>(SingleQuick());
    if (quick == nullptr) return kErrInvalidHandle;
    if (int rc = CreateTargetFolders(target); rc != kOk) return rc;
    // Quick folders are listed at their own depth, with what the formatted
    // engine filed in them; the formatted engine's folders find their
    // children by cluster.
    auto list = [&](const ScanRecord& parent, uint32_t, RecordList& children) {
      const uint32_t level =
          parent.Engine() == EngineCode::kQuickFat ? quick->FolderDepth(parent.EntryKey()) : 0;
      return ListChildren(&parent, level, children);
    };
    auto recover = [&](const ScanRecord& file, const fs::path& path, bool& stop) {
      IRidiRedazuvoParse* engine = EngineFor(file);
      const int rc = engine != nullptr ? engine->RecoverRecord(file, path, separators) : kOk;
      stop = rc == kCancelled;
      return rc;
    };
    auto report = [this](const fs::path& path, int error) {
      return m_copyCallback != nullptr ? m_copyCallback(m_user, 100, 100, error, path) : kOk;
    };
    return RecoverFatFolder(folder, target, separators, 1, list, recover, report);
  } catch (...) {
    return platform::SystemErrorFromCurrentException();
  }
}

int CProfessionalRecovery::ExtractRecord(const ScanRecord& record, fs::path& path, uint8_t* buffer,
                                         uint64_t& size, ExtractProgressCallback callback,
                                         void* user) {
  IRidiRedazuvoParse* engine = EngineFor(record);
  if (engine == nullptr) {
    size = 0;
    return kOk;
  }
  return engine->ExtractRecord(record, path, buffer, size, callback, user);
}

int CProfessionalRecovery::NextFreeRange(uint64_t&, uint64_t&) { return 0; }

int CProfessionalRecovery::BuildAllocationMap() { return kOk; }

int CProfessionalRecovery::SetSearchCallback(SearchProgressCallback callback, void* user) {
  m_searchCallback = callback;
  m_searchUser = user;
  for (IRidiRedazuvoParse* quick : QuickEngines()) quick->SetSearchCallback(callback, user);
  m_fat->SetSearchCallback(callback, user);
  m_ntfs->SetSearchCallback(callback, user);
  m_content->SetSearchCallback(callback, user);
  return kOk;
}

}  // namespace brinvale
